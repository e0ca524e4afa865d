#pragma once

class QString;

namespace sarvo::ui {

// Puts a text on the clipboard and, where the system has one (X11), in the selection too, so that both
// paste and a middle click give it. An empty text changes nothing.
void CopyTextToClipboard(const QString& text);

}  // namespace sarvo::ui
