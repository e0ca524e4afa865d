#pragma once

#include <QDialog>

namespace sarvo::ui {

// The program's icon, name and version, and a link to the maker's web site.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace sarvo::ui
