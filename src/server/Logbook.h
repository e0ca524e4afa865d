#pragma once

#include <netinet/in.h>

#include <string>
#include <string_view>

#include "platform/FileTime.h"

// The logbook: a plain text file in the user's documents folder with one record for every request
// header the server receives and every request it refuses while reading. Responses are not logged.
namespace sarvo {

inline constexpr char kLogbookFileName[] = "sarvolog.txt";
inline constexpr size_t kLogSeparatorLength = 60;

// The documents folder followed by "/sarvolog.txt", normalised.
std::string LogbookPath();

// The one process-wide descriptor of the logbook, opened for appending on first use (the file is
// created when missing) and kept open; -1 when the file can be neither opened nor created. The
// descriptor number stays the same for the life of the process: when the file at LogbookPath() is no
// longer the one open (deleted, replaced, or the documents folder moved), the new file is opened onto
// the same number, so a caller that kept it (the logbook viewer truncates through it) never writes to
// a descriptor that was closed and handed out again.
int OpenLogbook();

// One record, CR LF line ends:
//   "Time: YYYY-MM-DD hh:mm:ss"  the given local time
//   "Addr: a.b.c.d:port"
//   the header with its trailing CR and LF removed, then CR LF (only when there is header text)
//   an empty line and the message with its trailing CR and LF removed (only when message is not "")
//   60 '='
std::string ComposeLogRecord(const SystemTime& localTime, const sockaddr_in& peer, std::string_view message,
                             std::string_view header);

// Appends a record stamped with the local time, unless logging is off ("enablelog") or the client is
// this computer and "logself" is off. message "" means none. Each record is written with one write()
// under a process-wide lock, so records of concurrent connections never interleave. True when
// the record was written; every failure drops it silently otherwise.
bool WriteLogRecord(const sockaddr_in& peer, bool isLocalClient, std::string_view message,
                    std::string_view header);

}  // namespace sarvo
