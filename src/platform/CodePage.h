#pragma once

#include <string>
#include <string_view>

// The process code page stands in for the ANSI code page: every text the program keeps (file names,
// settings, page texts) is in it. It is UTF-8 unless SARVO_CODEPAGE names another iconv charset.
namespace sarvo {

inline constexpr char kUtf8Charset[] = "UTF-8";

// The charset name, read from the environment once.
const std::string& ProcessCodePage();
bool ProcessCodePageIsUtf8();

// Converts between two iconv charsets. A character the target lacks, and an invalid input sequence,
// each become '?'. An unknown charset gives "".
std::string ConvertCodePage(std::string_view text, const char* fromCharset, const char* toCharset);

std::string AnsiTextToUtf8(std::string_view text);
std::string Utf8TextToAnsi(std::string_view text);

}  // namespace sarvo
