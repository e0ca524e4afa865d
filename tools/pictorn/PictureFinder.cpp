#include "PictureFinder.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "common/Text.h"

namespace sarvo::pictorn {

namespace fs = std::filesystem;

namespace {

bool IsHidden(std::string_view name) {
    return !name.empty() && name.front() == '.';
}

// Errors are collected rather than thrown: the std::filesystem calls here all take an error_code.
class FolderWalker {
public:
    FolderWalker(SubFolders subFolders, PictureEndings endings, std::vector<std::string>& problems)
        : m_subFolders(subFolders), m_endings(endings), m_problems(problems) {}

    void Visit(const std::string& path, std::vector<PictureFolder>& out) {
        std::error_code error;
        const fs::path canonical = fs::canonical(path, error);
        if (error) {
            m_problems.push_back(path + ": " + error.message());
            return;
        }
        if (!m_visited.insert(canonical.string()).second) {
            return;
        }
        PictureFolder folder;
        folder.path = path;
        std::vector<std::string> subFolderNames;
        fs::directory_iterator it(path, error);
        if (error) {
            m_problems.push_back(path + ": " + error.message());
            return;
        }
        for (; it != fs::directory_iterator(); it.increment(error)) {
            const std::string name = it->path().filename().string();
            if (IsHidden(name)) {
                continue;
            }
            // is_directory and is_regular_file follow symbolic links, so a linked picture is indexed
            // under the link's name, as the server serves it.
            std::error_code typeError;
            if (it->is_directory(typeError)) {
                if (m_subFolders == SubFolders::Include) {
                    subFolderNames.push_back(name);
                }
            } else if (it->is_regular_file(typeError) && IsPictureName(name, m_endings)) {
                folder.pictures.push_back(name);
            }
        }
        if (error) {
            m_problems.push_back(path + ": " + error.message());
        }
        std::sort(folder.pictures.begin(), folder.pictures.end(), PictureNameLess);
        std::sort(subFolderNames.begin(), subFolderNames.end(), PictureNameLess);
        out.push_back(std::move(folder));
        const std::string prefix = path.back() == '/' ? path : path + "/";
        for (const std::string& name : subFolderNames) {
            Visit(prefix + name, out);
        }
    }

private:
    SubFolders m_subFolders;
    PictureEndings m_endings;
    std::vector<std::string>& m_problems;
    std::set<std::string> m_visited;
};

}  // namespace

bool IsPictureName(std::string_view name, PictureEndings endings) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return false;
    }
    const std::string_view ending = name.substr(dot + 1);
    return std::any_of(endings.begin(), endings.end(),
                       [&](const std::string& known) { return EqualsIgnoreCase(ending, known); });
}

bool PictureNameLess(std::string_view a, std::string_view b) {
    const int order = CompareIgnoreCase(a, b);
    return order != 0 ? order < 0 : a < b;
}

std::vector<PictureFolder> FindPictureFolders(const std::string& root, SubFolders subFolders,
                                              PictureEndings endings, std::vector<std::string>& problems) {
    std::vector<PictureFolder> folders;
    FolderWalker walker(subFolders, endings, problems);
    walker.Visit(root, folders);
    return folders;
}

}  // namespace sarvo::pictorn
