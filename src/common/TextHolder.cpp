#include "common/TextHolder.h"

#include "platform/CodePage.h"

namespace sarvo {

const char* TextHolder::Assign(std::string text) {
    m_text = std::move(text);
    return m_text.c_str();
}

AnsiToUtf8::AnsiToUtf8(std::string_view text) { Assign(AnsiTextToUtf8(text)); }

Utf8ToAnsi::Utf8ToAnsi(std::string_view text) { Assign(Utf8TextToAnsi(text)); }

}  // namespace sarvo
