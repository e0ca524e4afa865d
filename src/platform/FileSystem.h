#pragma once

#include <string>

namespace sarvo {

// A path that names something other than a directory (a regular file, a fifo, a device).
bool IsExistingFile(const std::string& path);

bool IsExistingDirectory(const std::string& path);

}  // namespace sarvo
