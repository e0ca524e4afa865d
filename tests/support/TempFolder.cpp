#include "support/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace sarvo::test {

TempFolder::TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/sarvo-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

std::string TempFolder::WriteFile(const std::string& name, const std::string& content) const {
    std::string path = Child(name);
    WriteWholeFile(path, content);
    return path;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

ScopedSarvoHome::ScopedSarvoHome() {
    if (const char* previous = std::getenv("SARVO_HOME")) {
        m_previous = previous;
        m_hadPrevious = true;
    }
    ::setenv("SARVO_HOME", Path().c_str(), 1);
}

ScopedSarvoHome::~ScopedSarvoHome() {
    if (m_hadPrevious)
        ::setenv("SARVO_HOME", m_previous.c_str(), 1);
    else
        ::unsetenv("SARVO_HOME");
}

}  // namespace sarvo::test
