#include "ui/dialogs/DynamicFilePropertyDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <optional>

#include "store/PublishedFiles.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/TrimmedText.h"

namespace sarvo::ui {

std::string DefaultSearchPattern(std::string_view path) {
    // The file name's own extension: a '.' in a folder name above it is no extension.
    const size_t nameStart =
        path.find_last_of('/') == std::string_view::npos ? 0 : path.find_last_of('/') + 1;
    const size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || dot < nameStart)
        return {};
    return "*" + std::string(path.substr(dot));
}

DynamicFilePropertyDialog::DynamicFilePropertyDialog(QWidget* parent, const QString& publishedName)
    : PropertyDialog(parent, kDynamicFilePropertyCaption), m_publishedName(publishedName) {
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QGridLayout;
    m_displayName = NamedLineEdit(kDisplayNameLabel, 0, this);
    m_displayName->setReadOnly(true);
    m_path = NamedLineEdit(kFilePathLabel, 0, this);
    m_path->setReadOnly(true);
    fields->addWidget(LabelFor(kDisplayNameLabel, m_displayName, this), 0, 0);
    fields->addWidget(m_displayName, 0, 1);
    fields->addWidget(LabelFor(kFilePathLabel, m_path, this), 1, 0);
    fields->addWidget(m_path, 1, 1);
    layout->addLayout(fields);

    m_realTime = NamedCheckBox(kRealTimeFile, this);
    layout->addWidget(m_realTime);
    auto* newestRow = new QGridLayout;
    m_useNewest = NamedCheckBox(kUseNewestFile, this);
    m_pattern = NamedLineEdit(kSearchPatternField, kPatternMaxLength, this);
    newestRow->addWidget(m_useNewest, 0, 0);
    newestRow->addWidget(m_pattern, 0, 1);
    newestRow->setColumnStretch(1, 1);
    layout->addLayout(newestRow);
    AddButtons(layout);
    setMinimumWidth(460);

    UpdateControlsOn(m_useNewest, &QCheckBox::toggled);
    Start();
}

void DynamicFilePropertyDialog::Load() {
    m_displayName->setText(m_publishedName);
    const std::optional<PublishedFileRecord> record = GetPublishedFile(ToStore(m_publishedName));
    if (!record)
        return;
    m_path->setText(FromStore(record->path));
    m_path->setCursorPosition(0);
    m_realTime->setChecked(record->realTime != 0);
    m_useNewest->setChecked(record->useNewest != 0);
    m_pattern->setText(
        FromStore(record->useNewest != 0 ? record->searchPattern : DefaultSearchPattern(record->path)));
}

void DynamicFilePropertyDialog::UpdateControls() {
    // The pattern only counts while the newest matching file is served.
    m_pattern->setEnabled(m_useNewest->isChecked());
}

void DynamicFilePropertyDialog::Save() {
    // Read again: the entry may have changed while the dialog was open. One that cannot be read is
    // left alone.
    std::optional<PublishedFileRecord> record = GetPublishedFile(ToStore(m_publishedName));
    if (!record)
        return;
    record->realTime = m_realTime->isChecked() ? 1 : 0;
    record->useNewest = m_useNewest->isChecked() ? 1 : 0;
    if (m_useNewest->isChecked())
        record->searchPattern = ToStore(Trimmed(m_pattern));
    SetPublishedFile(ToStore(m_publishedName), *record);
}

}  // namespace sarvo::ui
