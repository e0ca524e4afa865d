#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "CommandLine.h"

// Which folders get an index and which of their files are pictures.
namespace sarvo::pictorn {

// Lower-case name endings without the dot, e.g. {"jpg", "png"}.
using PictureEndings = std::span<const std::string>;

// A name counts as a picture by its ending alone, compared without regard to case; opening every file
// to sniff it would make a folder of videos as slow as a folder of photos.
bool IsPictureName(std::string_view name, PictureEndings endings);

// The order of the entries in an index: case-insensitive, with byte order breaking ties so that the
// order is the same on every run.
bool PictureNameLess(std::string_view a, std::string_view b);

struct PictureFolder {
    std::string path;
    std::vector<std::string> pictures;  // file names, in PictureNameLess order
};

// The root, then with Include every folder below it, depth first in name order. A folder reached a
// second time through a symbolic link is left out, which also ends link loops. Folders that cannot be
// read are named in problems and left out. A readable folder is listed even when it holds no picture,
// so that a stale index of it can be removed.
std::vector<PictureFolder> FindPictureFolders(const std::string& root, SubFolders subFolders,
                                              PictureEndings endings, std::vector<std::string>& problems);

}  // namespace sarvo::pictorn
