#pragma once

#include <string>
#include <string_view>

namespace sarvo {

// Owns the result of one text conversion. The text is never null: a failed or empty conversion
// holds "", which callers treat as "nothing usable".
class TextHolder {
public:
    TextHolder() = default;

    const char* Text() const { return m_text.c_str(); }
    const std::string& Str() const { return m_text; }
    size_t Length() const { return m_text.size(); }
    bool IsEmpty() const { return m_text.empty(); }

    // Replaces the held text; returns the new text.
    const char* Assign(std::string text);

private:
    std::string m_text;
};

// Converts a text in the process code page to UTF-8.
class AnsiToUtf8 : public TextHolder {
public:
    explicit AnsiToUtf8(std::string_view text);
};

// Converts a UTF-8 text to the process code page.
class Utf8ToAnsi : public TextHolder {
public:
    explicit Utf8ToAnsi(std::string_view text);
};

}  // namespace sarvo
