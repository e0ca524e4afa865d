#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/FileTime.h"

// What the owner does with the guestbook, for the desktop window's Guestbook dialog and for
// sarvo-cli alike: list the messages, find one message's file to read it, delete messages.
namespace sarvo {

// The list shows this much of each message.
inline constexpr size_t kGuestbookPreviewBytes = 255;

struct GuestbookMessageInfo {
    std::string fileName;    // "10.0.0.5(2).txt"
    std::string sender;      // the file name without its last extension: "10.0.0.5(2)"
    FileTime lastWriteTime;  // UTC; the time the message was stored
    std::string preview;     // the first kGuestbookPreviewBytes bytes, in the process code page
};

// The folder the messages are read from; nothing is created.
std::string GuestbookMessageFolder();

// Every "*.txt" file of the folder that can be opened, newest first.
std::vector<GuestbookMessageInfo> ListGuestbookMessages();

// The message file's full path for a name as the list shows it, with or without ".txt"; "" when the
// name could lead out of the folder or names no message file.
std::string GuestbookMessagePath(std::string_view name);

// Deletes the message's file; false when it does not exist or cannot be deleted.
bool DeleteGuestbookMessage(std::string_view name);

// "%04u-%02u-%02u %02u:%02u:%02u" in local time, as the list's "Time" column shows it.
std::string FormatGuestbookTime(FileTime utc);

}  // namespace sarvo
