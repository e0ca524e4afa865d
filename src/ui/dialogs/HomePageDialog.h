#pragma once

#include <QString>

#include "ui/dialogs/PropertyDialog.h"

class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace sarvo::ui {

// The home page: the generated page's title and introduction, or a file of the owner's served instead.
class HomePageDialog : public PropertyDialog {
    Q_OBJECT

public:
    // The store reads the title into 80 bytes and the introduction into 510, each with its NUL, so
    // one byte less than the buffer is what comes back whole.
    static constexpr int kTitleMaxLength = 79;
    static constexpr int kDescriptionMaxLength = 509;

    explicit HomePageDialog(QWidget* parent);

    // Puts a chosen file into the field and selects it as the home page, as the "..." button does.
    void UseFile(const QString& path);

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    void ChooseFile();
    void LimitDescription();

    QLineEdit* m_title;
    QPlainTextEdit* m_description;
    QRadioButton* m_generated;
    QRadioButton* m_useFile;
    QLineEdit* m_file;
};

// "Name|patterns;...|...||" of the string table as Qt's name filters: "Name (patterns ...)".
QStringList NameFiltersOf(const char* tableFilter);

}  // namespace sarvo::ui
