#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/ConfinedOpen.h"

// The title a listing shows in place of a file's name: the ID3 version 1 title of an ".mp3" file, the
// <title> of an ".htm" or ".html" page. Every other file, and a file that cannot be read, has none.
namespace sarvo {

// A listing reads this much of a page at most, so a folder of large pages costs a bounded read per
// row; a <title> lies near the top of any page a browser would show.
inline constexpr size_t kTitleReadLimit = 64 * 1024;
// The longest title taken from a page.
inline constexpr size_t kPageTitleMax = 255;
// The ID3 version 1 tag: "TAG" 128 bytes before the end, then a 30-byte title.
inline constexpr size_t kId3TagOffset = 128;
// Some writers put the tag two bytes earlier; it is looked for there when the first place fails.
inline constexpr size_t kId3ShiftedTagOffset = 130;
inline constexpr size_t kId3TitleLength = 30;

class TitleReader {
public:
    explicit TitleReader(std::string_view path);
    // The folder and the name joined with '/' and normalised, opened under the confinement, so that a
    // link swapped in after the folder was listed cannot lead the read out of a shared folder.
    TitleReader(std::string_view folder, std::string_view fileName, const Confinement& confinement = {});

    bool HasTitle() const { return !m_title.empty(); }
    // "" when there is none; an empty title counts as none.
    const std::string& Title() const { return m_title; }

private:
    void Read(const std::string& path, const Confinement& confinement);

    std::string m_title;
};

// The title between the first "<title>" and the next "</title>" (tags matched without regard to case),
// or to the end of the text when no closing tag follows; at most kPageTitleMax bytes, ending early at
// a NUL byte. "" without "<title>".
std::string PageTitleOf(std::string_view text);

}  // namespace sarvo
