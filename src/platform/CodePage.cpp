#include "platform/CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace sarvo {
namespace {

constexpr char kReplacement = '?';
constexpr char kUtf32Charset[] = "UTF-32LE";
constexpr uint32_t kReplacementCodePoint = '?';
constexpr size_t kUtf32UnitSize = 4;

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

// Runs the converter over the input, or with a null input flushes what it holds back, appending to
// out from out[used] and growing out as needed. Returns 0 when everything was taken, else the errno
// at which iconv stopped (EILSEQ and EINVAL: bad input the caller handles).
int ConvertInto(iconv_t handle, char** in, size_t* inLeft, std::string& out, size_t& used) {
    for (;;) {
        char* outPtr = out.data() + used;
        size_t outLeft = out.size() - used;
        size_t result = ::iconv(handle, in, inLeft, &outPtr, &outLeft);
        used = out.size() - outLeft;
        if (result != static_cast<size_t>(-1))
            return 0;
        if (errno != E2BIG)
            return errno;
        out.resize(out.size() * 2 + kUtf32UnitSize);
    }
}

void AppendUtf32(std::string& out, size_t& used, uint32_t codePoint) {
    if (out.size() - used < kUtf32UnitSize)
        out.resize(out.size() * 2 + kUtf32UnitSize);
    for (size_t i = 0; i < kUtf32UnitSize; ++i)
        out[used++] = static_cast<char>((codePoint >> (8 * i)) & 0xFF);
}

// Decodes to UTF-32LE; an invalid or truncated sequence yields one '?' per skipped byte. The output
// grows as needed: some charsets (TSCII) give several code points for one byte. Decoders that compose
// (CP1258 holds a letter back until it knows whether an accent follows) are flushed at the end and
// before each replacement, which keeps the held letter and its place.
bool DecodeToUtf32(std::string_view text, const char* charset, std::string& out) {
    IconvHandle handle(kUtf32Charset, charset);
    if (!handle.IsValid())
        return false;
    std::string result(text.size() * kUtf32UnitSize + kUtf32UnitSize, '\0');
    size_t used = 0;
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    while (inLeft > 0) {
        int error = ConvertInto(handle.Get(), &in, &inLeft, result, used);
        if (error == 0)
            break;
        if (error != EILSEQ && error != EINVAL)
            return false;
        if (ConvertInto(handle.Get(), nullptr, nullptr, result, used) != 0)
            return false;
        AppendUtf32(result, used, kReplacementCodePoint);
        ++in;
        --inLeft;
    }
    if (ConvertInto(handle.Get(), nullptr, nullptr, result, used) != 0)
        return false;
    result.resize(used);
    out = std::move(result);
    return true;
}

// Encodes UTF-32LE; a code point the charset lacks becomes '?'. The '?' is itself passed through the
// converter, so that a stateful charset (ISO-2022-JP) gets it in the right shift state and a wide one
// (UTF-16) in its own width.
bool EncodeUtf32(const std::string& utf32, const char* charset, std::string& out) {
    IconvHandle handle(charset, kUtf32Charset);
    if (!handle.IsValid())
        return false;
    std::string result(utf32.size() / kUtf32UnitSize * 2 + kUtf32UnitSize, '\0');
    size_t used = 0;
    char* in = const_cast<char*>(utf32.data());
    size_t inLeft = utf32.size();
    while (inLeft > 0) {
        int error = ConvertInto(handle.Get(), &in, &inLeft, result, used);
        if (error == 0)
            break;
        if (error != EILSEQ || inLeft < kUtf32UnitSize)
            return false;
        in += kUtf32UnitSize;
        inLeft -= kUtf32UnitSize;
        std::string replacement;
        size_t replacementUsed = 0;
        AppendUtf32(replacement, replacementUsed, kReplacementCodePoint);
        char* replacementIn = replacement.data();
        size_t replacementLeft = replacementUsed;
        if (ConvertInto(handle.Get(), &replacementIn, &replacementLeft, result, used) != 0)
            return false;
    }
    if (ConvertInto(handle.Get(), nullptr, nullptr, result, used) != 0)
        return false;
    result.resize(used);
    out = std::move(result);
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
    std::string utf32;
    std::string result;
    if (!DecodeToUtf32(text, fromCharset, utf32) || !EncodeUtf32(utf32, toCharset, result))
        return std::string();
    return result;
}

namespace {

// Plain ASCII reads the same in UTF-8 and in a UTF-8 code page; most paths and names are, and they
// are converted at every request.
bool IsAsciiUnderUtf8(std::string_view text) {
    return ProcessCodePageIsUtf8() &&
           std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::string AnsiTextToUtf8(std::string_view text) {
    if (IsAsciiUnderUtf8(text))
        return std::string(text);
    return ConvertCodePage(text, ProcessCodePage().c_str(), kUtf8Charset);
}

std::string Utf8TextToAnsi(std::string_view text) {
    if (IsAsciiUnderUtf8(text))
        return std::string(text);
    return ConvertCodePage(text, kUtf8Charset, ProcessCodePage().c_str());
}

}  // namespace sarvo
