#include "ui/OwnerMessages.h"

#include <QMessageBox>

#include "ui/UiTexts.h"

namespace sarvo::ui {
namespace {

// The texts carry Windows line breaks; a lone '\r' would show as a stray glyph.
QString ForDisplay(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

QMessageBox::StandardButton Run(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, QString::fromLatin1(kProductCaption), ForDisplay(text), buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

void ShowInformation(QWidget* parent, const QString& text) {
    Run(parent, QMessageBox::Information, text, QMessageBox::Ok);
}

bool AskYesNo(QWidget* parent, const QString& text) {
    return Run(parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool AskYesNoInformation(QWidget* parent, const QString& text) {
    return Run(parent, QMessageBox::Information, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

}  // namespace sarvo::ui
