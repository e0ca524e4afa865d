#pragma once

#include <QMessageBox>

namespace sarvo::ui {

// A Yes/No question with the given icon (QMessageBox::question always shows the question mark);
// true on Yes.
bool AskYesNo(QWidget* parent, const char* caption, const char* text, QMessageBox::Icon icon);

}  // namespace sarvo::ui
