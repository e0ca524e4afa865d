#include "SiteFiles.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <limits>

#include "GoldenFile.h"
#include "platform/InternetTime.h"

namespace sarvo::test {
namespace {

constexpr size_t kId3Length = 128;

std::string HeaderValue(const std::string& header, const std::string& name) {
    const std::string key = "\r\n" + name + ": ";
    size_t at = header.find(key);
    if (at == std::string::npos)
        return std::string();
    at += key.size();
    return header.substr(at, header.find("\r\n", at) - at);
}

int64_t SecondsOf(const std::string& httpDate) {
    SystemTime time;
    FileTime ticks;
    if (!InternetTimeToSystemTime(httpDate, time) || !SystemTimeToFileTime(time, ticks))
        return std::numeric_limits<int64_t>::min() / 2;
    return FileTimeToUnixSeconds(ticks);
}

}  // namespace

void SetWriteTime(const std::string& path, int64_t unixSeconds) {
    timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(unixSeconds), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

void SetFileSize(const std::string& path, uint64_t size) {
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0) << path;
}

void MakeFolder(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    ASSERT_TRUE(std::filesystem::is_directory(path)) << path;
}

std::string Id3Tag(const std::string& title) {
    std::string tag = "TAG" + title;
    tag.resize(kId3Length, ' ');
    return tag;
}

UtcZone::UtcZone() {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
}

UtcZone::~UtcZone() {
    ::unsetenv("TZ");
    ::tzset();
}

std::string MaskedResponse(const HttpResponse& response) {
    return MaskDates(std::string(response.HeaderText())) + std::string(response.BodyText());
}

size_t CountOf(const std::string& text, const std::string& piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size()))
        ++count;
    return count;
}

int64_t SecondsBetweenHeaders(const std::string& header, const std::string& from, const std::string& to) {
    return SecondsOf(HeaderValue(header, to)) - SecondsOf(HeaderValue(header, from));
}

}  // namespace sarvo::test
