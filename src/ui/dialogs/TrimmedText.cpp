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

QString Trimmed(const QLineEdit* edit) {
    return Trimmed(edit->text());
}

}  // namespace sarvo::ui
