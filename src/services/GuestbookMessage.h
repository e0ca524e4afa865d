#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A guestbook message from the posted form to its file: the reply texts, the decoding of the form's
// one field, and the file that records the sender's address in its name.
namespace sarvo {

// Reply texts, by their string-table ids.
enum class GuestbookReply : unsigned {
    NothingToSay = 5039,
    Saved = 5041,
    ContentTypeNotSupported = 5042,
    NotSaved = 5043,
    TooLarge = 5044,
};
const char* GuestbookReplyText(GuestbookReply reply);

// The only body the form sends; a parameter (a charset) makes a type differ.
inline constexpr char kGuestbookContentType[] = "application/x-www-form-urlencoded";
// More of a body than this is not read; the message is stored cut and the reply says so.
inline constexpr uint64_t kGuestbookBodyLimit = 65536;

// The value of the form's field: everything after the first '=' (the form has one field, so a '&'
// does not end it), with '+' as a blank and "%XX" as one byte. The hex digits are read until the
// first character that is not one, so "%zz" gives the byte 0, which ends the text. A '%' without two
// characters after it is dropped. False when there is no '=' or nothing after it.
bool DecodeGuestbookBody(std::string_view body, std::string& out);

// The text without its leading bytes 1 to 32.
std::string_view SkipLeadingControlBytes(std::string_view text);

// "a.b.c.d.txt" for the first message of an address, "a.b.c.d(N).txt" for N = 2, 3, ...
std::string GuestbookFileName(uint32_t addressNetworkOrder, unsigned counter);

struct StoredMessage {
    bool created = false;   // a file now holds the message
    bool complete = false;  // every byte of the text was written
    std::string path;
};

// Creates the first file name of the address that is not taken and writes the text into it. Taking
// the name and creating the file are one step (create-only-if-new, then the next counter), so posts
// from one address at the same moment each get a file of their own.
StoredMessage StoreGuestbookMessage(const std::string& folder, uint32_t addressNetworkOrder,
                                    std::string_view text);

}  // namespace sarvo
