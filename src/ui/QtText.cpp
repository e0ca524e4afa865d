#include "ui/QtText.h"

#include "platform/CodePage.h"

namespace sarvo::ui {

QString FromAnsi(std::string_view text) {
    const std::string utf8 = AnsiTextToUtf8(text);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToAnsi(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return Utf8TextToAnsi(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

}  // namespace sarvo::ui
