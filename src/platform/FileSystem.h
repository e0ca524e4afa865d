#pragma once

#include <string>

namespace sarvo {

// A path that names something other than a directory (a regular file, a fifo, a device).
bool IsExistingFile(const std::string& path);

bool IsExistingDirectory(const std::string& path);

// Takes every permission of the group and of others away from a file (0600) or a folder (0700) that
// holds secrets. A path that does not exist counts as done; a link is not followed.
bool RestrictToOwner(const std::string& path);

// Creates an empty file readable and writable by its owner alone, unless it exists already.
bool CreateOwnerOnlyFile(const std::string& path);

}  // namespace sarvo
