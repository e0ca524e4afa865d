#include "services/GuestbookMessage.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "common/Format.h"

namespace sarvo {
namespace {

constexpr mode_t kMessageFileMode = 0666;
constexpr unsigned kFirstCounter = 2;

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Up to two hex digits, stopping at the first character that is not one.
char HexPairByte(char first, char second) {
    int value = 0;
    for (char c : {first, second}) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return static_cast<char>(value);
}

bool WriteAll(int descriptor, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(descriptor, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        text.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace

const char* GuestbookReplyText(GuestbookReply reply) {
    switch (reply) {
        case GuestbookReply::NothingToSay:
            return "Got nothing to say?";
        case GuestbookReply::Saved:
            return "Your message has been saved. Thank you.";
        case GuestbookReply::ContentTypeNotSupported:
            return "Content type not supported";
        case GuestbookReply::NotSaved:
            return "Sorry. Your message has been received but could not be saved.";
        case GuestbookReply::TooLarge:
            return "The message is too large. No all of it has been saved.";
    }
    return "";
}

bool DecodeGuestbookBody(std::string_view body, std::string& out) {
    out.clear();
    const size_t equals = body.find('=');
    if (equals == std::string_view::npos || equals + 1 == body.size())
        return false;
    const std::string_view value = body.substr(equals + 1);
    out.reserve(value.size());
    for (size_t index = 0; index < value.size(); ++index) {
        const char c = value[index];
        char decoded = c;
        if (c == '+') {
            decoded = ' ';
        } else if (c == '%') {
            if (index + 2 >= value.size())
                continue;
            decoded = HexPairByte(value[index + 1], value[index + 2]);
            index += 2;
        }
        // The text is a C string from here on: a zero byte, decoded or sent as it is, ends it.
        if (decoded == '\0')
            break;
        out.push_back(decoded);
    }
    return true;
}

std::string_view SkipLeadingControlBytes(std::string_view text) {
    size_t skipped = 0;
    while (skipped < text.size() && static_cast<unsigned char>(text[skipped]) >= 1 &&
           static_cast<unsigned char>(text[skipped]) <= 32)
        ++skipped;
    return text.substr(skipped);
}

std::string GuestbookFileName(uint32_t addressNetworkOrder, unsigned counter) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&addressNetworkOrder);
    const std::string address = Format("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
    if (counter < kFirstCounter)
        return address + ".txt";
    return Format("%s(%u).txt", address.c_str(), counter);
}

StoredMessage StoreGuestbookMessage(const std::string& folder, uint32_t addressNetworkOrder,
                                    std::string_view text) {
    StoredMessage stored;
    const int folderDescriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderDescriptor < 0)
        return stored;
    int descriptor = -1;
    // The first name has no counter; the next ones count from 2, so counting on from 1 gives them all.
    for (unsigned counter = 1; counter < UINT_MAX; ++counter) {
        const std::string name = GuestbookFileName(addressNetworkOrder, counter);
        // A create locks the folder even when the name is taken, a lookup does not: names already taken
        // are passed over with a lookup, so posts from one busy address do not queue on the folder. The
        // create below still decides, so a name taken in between only moves on to the next counter.
        struct stat existing;
        if (::fstatat(folderDescriptor, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
            continue;
        descriptor = ::openat(folderDescriptor, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                              kMessageFileMode);
        if (descriptor >= 0 || errno != EEXIST) {
            stored.path = folder + "/" + name;
            break;
        }
    }
    ::close(folderDescriptor);
    if (descriptor < 0)
        return stored;
    stored.created = true;
    stored.complete = WriteAll(descriptor, text);
    if (::close(descriptor) != 0)
        stored.complete = false;
    return stored;
}

}  // namespace sarvo
