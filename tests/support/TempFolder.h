#pragma once

#include <string>

namespace sarvo::test {

// A fresh folder under TMPDIR, removed with everything in it when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string Child(const std::string& name) const { return m_path + "/" + name; }

    // Writes a file below the folder (creating its parent folders) and returns its full path.
    std::string WriteFile(const std::string& name, const std::string& content) const;

private:
    std::string m_path;
};

// A temporary folder that is also SARVO_HOME while the object lives, so that settings, the logbook
// and every other file of the program land in it.
class ScopedSarvoHome : public TempFolder {
public:
    ScopedSarvoHome();
    ~ScopedSarvoHome();

private:
    std::string m_previous;
    bool m_hadPrevious = false;
};

// A file's bytes, or "" when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// Writes a file (creating its parent folders), replacing what was there.
void WriteWholeFile(const std::string& path, const std::string& content);

}  // namespace sarvo::test
