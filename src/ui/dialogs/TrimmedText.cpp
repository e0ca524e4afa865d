#include "ui/dialogs/TrimmedText.h"

#include <QLineEdit>

#include "common/Text.h"

namespace sarvo::ui {

QString FromStore(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToStore(const QString& text) {
    return text.toStdString();
}

QString Trimmed(const QString& text) {
    return FromStore(TrimmedCopy(ToStore(text)));
}

QString FitToBytes(QString text, int maxBytes) {
    while (text.toUtf8().size() > maxBytes) {
        // A character outside the basic plane is a surrogate pair: both halves go together.
        const bool pair = text.size() >= 2 && text.back().isLowSurrogate();
        text.chop(pair ? 2 : 1);
    }
    return text;
}

QString Trimmed(const QLineEdit* edit) {
    return Trimmed(edit->text());
}

}  // namespace sarvo::ui
