#pragma once

class QApplication;

namespace sarvo::ui {

// What the whole desktop program shares: its name, its icon and tooltips that show after 200 ms.
void ApplyApplicationLook(QApplication& application);

}  // namespace sarvo::ui
