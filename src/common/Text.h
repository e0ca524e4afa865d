#pragma once

#include <string>
#include <string_view>

namespace sarvo {

// Blanks, tabs, CR and LF: what owner-typed texts are trimmed of before they are stored.
bool IsBlank(char c);

// Removes leading and trailing blanks in place and returns the new length.
size_t TrimBlanks(std::string& text);
std::string TrimmedCopy(std::string_view text);

// ASCII case-insensitive comparisons, the way settings names and service names are matched.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
int CompareIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);
std::string ToLowerAscii(std::string_view text);

// True when every byte is below 0x80: such a text reads the same in every code page.
bool IsPlainAscii(std::string_view text);

// Paths use '/' only: '\' becomes '/', runs of separators collapse to one and trailing separators go,
// except that "/" itself is kept.
void NormalizePath(std::string& path);

}  // namespace sarvo
