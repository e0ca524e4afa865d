#pragma once

#include <string>
#include <string_view>

// What the owner does with the logbook, for the desktop window's viewer: read it whole, list the
// records that contain a text, and empty it.
namespace sarvo {

// The search text of "List Records..." has at least this many characters.
inline constexpr int kLogSearchMinLength = 3;

// The whole file at LogbookPath(); false, with out left as it was, when it cannot be read.
bool ReadLogbook(std::string& out);

// Every record of log that contains text (bytes compared as they are, case counts), each once, in
// file order. A record begins after the nearest "=\r\n" that ends before the occurrence (CR and LF
// after it skipped), or at the start, and ends with the separator line that follows the occurrence,
// which is included; an occurrence after the last separator line belongs to no record yet.
std::string ListLogRecords(std::string_view log, std::string_view text);

enum class LogbookState { Unavailable, Empty, HasRecords };
// The state of the file through the descriptor the server writes with, created when missing.
LogbookState GetLogbookState();
// Truncates the file through that descriptor; the server's next record lands at its start.
bool ClearLogbook();

}  // namespace sarvo
