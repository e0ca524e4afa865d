#pragma once

#include <cstdint>
#include <string>

#include "server/HttpResponse.h"

// Files of known sizes, contents and times for the page tests.
namespace sarvo::test {

// Sets the last-write time (seconds since 1970, UTC) of a file or folder.
void SetWriteTime(const std::string& path, int64_t unixSeconds);

// Makes the file exactly size bytes long (sparse beyond what it holds).
void SetFileSize(const std::string& path, uint64_t size);

// With any missing parent folders.
void MakeFolder(const std::string& path);

// An ID3 version 1 tag with the given title, to put at the end of an ".mp3" file.
std::string Id3Tag(const std::string& title);

// Makes the local time UTC for the life of the object, so that page times do not depend on the
// machine's zone.
class UtcZone {
public:
    UtcZone();
    ~UtcZone();
};

// The whole response with its dates masked: header, then body.
std::string MaskedResponse(const HttpResponse& response);

// How many times piece occurs in text, without overlaps.
size_t CountOf(const std::string& text, const std::string& piece);

// Seconds between two HTTP dates of the header, or a huge number when either is missing.
int64_t SecondsBetweenHeaders(const std::string& header, const std::string& from, const std::string& to);

}  // namespace sarvo::test
