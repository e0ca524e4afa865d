#include "ui/dialogs/AskYesNo.h"

namespace sarvo::ui {

bool AskYesNo(QWidget* parent, const char* caption, const char* text, QMessageBox::Icon icon) {
    QMessageBox box(icon, QString::fromUtf8(caption), QString::fromUtf8(text),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace sarvo::ui
