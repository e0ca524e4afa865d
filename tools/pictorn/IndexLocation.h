#pragma once

#include <string>

// Where a folder's index is written: in the folder itself, or for a folder on read-only media in the
// per-user cache folder where the server looks for it. The server's own lookup decides, so that the
// tool and the reader can never disagree.
namespace sarvo::pictorn {

// The path to write the folder's index to, with the cache folders made when the folder is on
// read-only media. "" when there is no place for it.
std::string IndexPathForWriting(const std::string& folder);

// The path of an index the server would read for the folder now, made or not; nothing is created.
std::string IndexPathForLookup(const std::string& folder);

// True when the folder lies on media that cannot be written (a read-only mount).
bool IsOnReadOnlyMedia(const std::string& folder);

}  // namespace sarvo::pictorn
