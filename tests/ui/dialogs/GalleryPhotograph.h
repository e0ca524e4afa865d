#pragma once

#include <QString>

class QWidget;

namespace sarvo::ui::test {

// Shows the dialog, checks what a machine can see (no text cut short, no controls on top of each
// other) and writes name.png and name.taborder.txt (the order Tab visits the controls) to the
// build tree's screenshots/ folder, for a person to look at.
void Photograph(QWidget* dialog, const QString& name);

}  // namespace sarvo::ui::test
