#include "platform/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace sarvo {
namespace {

constexpr char kReplacement = '?';
constexpr char kUtf32Charset[] = "UTF-32LE";
constexpr uint32_t kReplacementCodePoint = '?';

// iconv descriptors carry shift state, so each conversion opens its own: the cost is small next to
// the conversions the callers make (a page, a file name).
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : m_handle(::iconv_open(to, from)) {}
    ~IconvHandle() {
        if (IsValid())
            ::iconv_close(m_handle);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool IsValid() const { return m_handle != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_handle; }

private:
    iconv_t m_handle;
};

size_t Utf8SequenceLength(const unsigned char* p, size_t available) {
    unsigned char lead = p[0];
    size_t length = 0;
    uint32_t minimum = 0;
    uint32_t codePoint = 0;
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (length > available)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (p[i] & 0x3F);
    }
    bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < minimum || codePoint > 0x10FFFF || surrogate)
        return 0;
    return length;
}

// UTF-8 to UTF-8 is the common case; it only has to replace what is not valid UTF-8.
std::string SanitizeUtf8(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    size_t i = 0;
    while (i < text.size()) {
        size_t length = Utf8SequenceLength(bytes + i, text.size() - i);
        if (length == 0) {
            result.push_back(kReplacement);
            ++i;
            continue;
        }
        result.append(text.data() + i, length);
        i += length;
    }
    return result;
}

// Decodes to code points; an invalid or truncated sequence yields one '?' per skipped byte.
bool DecodeToCodePoints(std::string_view text, const char* charset, std::vector<uint32_t>& out) {
    IconvHandle handle(kUtf32Charset, charset);
    if (!handle.IsValid())
        return false;
    out.assign(text.size() + 1, 0);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outPtr = reinterpret_cast<char*>(out.data());
    size_t outLeft = out.size() * sizeof(uint32_t);
    while (inLeft > 0) {
        if (::iconv(handle.Get(), &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            return false;
        uint32_t replacement = kReplacementCodePoint;
        std::memcpy(outPtr, &replacement, sizeof replacement);
        outPtr += sizeof replacement;
        outLeft -= sizeof replacement;
        ++in;
        --inLeft;
        ::iconv(handle.Get(), nullptr, nullptr, nullptr, nullptr);
    }
    out.resize((out.size() * sizeof(uint32_t) - outLeft) / sizeof(uint32_t));
    return true;
}

bool EncodeCodePoints(const std::vector<uint32_t>& codePoints, const char* charset, std::string& out) {
    IconvHandle handle(charset, kUtf32Charset);
    if (!handle.IsValid())
        return false;
    // No charset needs more than 8 bytes for one code point (shift sequences included).
    out.assign(codePoints.size() * 8 + 8, '\0');
    char* in = reinterpret_cast<char*>(const_cast<uint32_t*>(codePoints.data()));
    size_t inLeft = codePoints.size() * sizeof(uint32_t);
    char* outPtr = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (::iconv(handle.Get(), &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno != EILSEQ || outLeft == 0)
            return false;
        *outPtr++ = kReplacement;
        --outLeft;
        in += sizeof(uint32_t);
        inLeft -= sizeof(uint32_t);
    }
    ::iconv(handle.Get(), nullptr, nullptr, &outPtr, &outLeft);
    out.resize(out.size() - outLeft);
    return true;
}

bool IsUtf8Name(const char* charset) {
    return ::strcasecmp(charset, "UTF-8") == 0 || ::strcasecmp(charset, "UTF8") == 0;
}

}  // namespace

const std::string& ProcessCodePage() {
    static const std::string codePage = [] {
        const char* configured = std::getenv("SARVO_CODEPAGE");
        if (!configured || !*configured)
            return std::string(kUtf8Charset);
        IconvHandle probe(kUtf32Charset, configured);
        return probe.IsValid() ? std::string(configured) : std::string(kUtf8Charset);
    }();
    return codePage;
}

bool ProcessCodePageIsUtf8() {
    static const bool isUtf8 = IsUtf8Name(ProcessCodePage().c_str());
    return isUtf8;
}

std::string ConvertCodePage(std::string_view text, const char* fromCharset, const char* toCharset) {
    if (text.empty())
        return std::string();
    if (IsUtf8Name(fromCharset) && IsUtf8Name(toCharset))
        return SanitizeUtf8(text);
    std::vector<uint32_t> codePoints;
    std::string result;
    if (!DecodeToCodePoints(text, fromCharset, codePoints) || !EncodeCodePoints(codePoints, toCharset, result))
        return std::string();
    return result;
}

std::string AnsiTextToUtf8(std::string_view text) {
    return ConvertCodePage(text, ProcessCodePage().c_str(), kUtf8Charset);
}

std::string Utf8TextToAnsi(std::string_view text) {
    return ConvertCodePage(text, kUtf8Charset, ProcessCodePage().c_str());
}

}  // namespace sarvo
