#include "ui/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace sarvo::ui {

void CopyTextToClipboard(const QString& text) {
    if (text.isEmpty())
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(text, QClipboard::Clipboard);
    if (clipboard->supportsSelection())
        clipboard->setText(text, QClipboard::Selection);
}

}  // namespace sarvo::ui
