#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "ui/dialogs/PropertyDialog.h"

class QCheckBox;
class QLineEdit;

namespace sarvo::ui {

// The two flags and the search pattern of one published single file.
class DynamicFilePropertyDialog : public PropertyDialog {
    Q_OBJECT

public:
    static constexpr int kPatternMaxLength = 130;

    DynamicFilePropertyDialog(QWidget* parent, const QString& publishedName);

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    QString m_publishedName;
    QLineEdit* m_displayName;
    QLineEdit* m_path;
    QCheckBox* m_realTime;
    QCheckBox* m_useNewest;
    QLineEdit* m_pattern;
};

// "*" and the extension of the path's file name from its last '.', "" when the name has none.
std::string DefaultSearchPattern(std::string_view path);

}  // namespace sarvo::ui
