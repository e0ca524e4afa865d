#include "ui/dialogs/HomePageDialog.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/FileSystem.h"
#include "store/SiteSettings.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/TrimmedText.h"

namespace sarvo::ui {
namespace {

constexpr uint32_t kGeneratedHomePage = 0;
constexpr uint32_t kHomePageFromFile = 1;

bool IsUsableHomePageFile(const QString& path) {
    return !path.isEmpty() && IsExistingFile(ToStore(path));
}

}  // namespace

QStringList NameFiltersOf(const char* tableFilter) {
    const QStringList parts = QString::fromUtf8(tableFilter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size() && !parts[i].isEmpty(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters.append(parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters;
}

HomePageDialog::HomePageDialog(QWidget* parent) : PropertyDialog(parent, kHomePageCaption) {
    auto* layout = new QVBoxLayout(this);
    auto* titleRow = new QGridLayout;
    m_title = NamedLineEdit(kTitleLabel, kTitleMaxLength, this);
    titleRow->addWidget(LabelFor(kTitleLabel, m_title, this), 0, 0);
    titleRow->addWidget(m_title, 0, 1);
    layout->addLayout(titleRow);

    m_description = new QPlainTextEdit(this);
    m_description->setObjectName(kSiteDescriptionLabel);
    m_description->setTabChangesFocus(true);
    layout->addWidget(LabelFor(kSiteDescriptionLabel, m_description, this));
    layout->addWidget(m_description);

    m_generated = NamedRadio(kUseGeneratedHomePage, this);
    m_useFile = NamedRadio(kUseHomePageFile, this);
    layout->addWidget(m_generated);
    layout->addWidget(m_useFile);
    auto* fileRow = new QGridLayout;
    m_file = NamedLineEdit(kHomePageFileField, 0, this);
    m_file->setReadOnly(true);
    auto* browse = NamedButton(kBrowseButton, this);
    browse->setMaximumWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("  ...  ")) + 16);
    fileRow->addWidget(m_file, 0, 0);
    fileRow->addWidget(browse, 0, 1);
    fileRow->setContentsMargins(20, 0, 0, 0);
    layout->addLayout(fileRow);
    AddButtons(layout);
    setMinimumWidth(440);

    connect(browse, &QPushButton::clicked, this, &HomePageDialog::ChooseFile);
    connect(m_description, &QPlainTextEdit::textChanged, this, &HomePageDialog::LimitDescription);
    UpdateControlsOn(m_useFile, &QRadioButton::toggled);
    Start();
}

void HomePageDialog::Load() {
    m_title->setText(FromStore(GetMainPageTitle()));
    m_description->setPlainText(FromStore(GetSiteIntro()));
    // A file deleted or replaced by a folder since it was chosen is not offered again.
    const QString file = FromStore(GetHomePageFileSetting());
    m_file->setText(IsUsableHomePageFile(file) ? file : QString());
    const bool useFile = GetHomePageType() == kHomePageFromFile && !m_file->text().isEmpty();
    (useFile ? m_useFile : m_generated)->setChecked(true);
    m_title->setFocus();
}

void HomePageDialog::UpdateControls() {
    // The file field only shows the choice; nothing else here depends on another control.
    m_file->setEnabled(m_useFile->isChecked());
}

void HomePageDialog::Save() {
    SetMainPageTitle(ToStore(Trimmed(m_title)));
    SetSiteIntro(ToStore(Trimmed(m_description->toPlainText())));
    const QString file = m_file->text();
    SetHomePageFile(ToStore(file));
    const bool useFile = m_useFile->isChecked() && IsUsableHomePageFile(file);
    SetHomePageType(useFile ? kHomePageFromFile : kGeneratedHomePage);
}

void HomePageDialog::UseFile(const QString& path) {
    m_file->setText(path);
    m_useFile->setChecked(true);
}

void HomePageDialog::ChooseFile() {
    QFileDialog chooser(this);
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setNameFilters(NameFiltersOf(kHtmlFilesFilter.text));
    chooser.setDefaultSuffix(QString::fromUtf8(kHtmlDefaultSuffix));
    if (!m_file->text().isEmpty())
        chooser.selectFile(m_file->text());
    if (chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty())
        UseFile(chooser.selectedFiles().first());
}

void HomePageDialog::LimitDescription() {
    const QString text = m_description->toPlainText();
    if (text.toUtf8().size() <= kDescriptionMaxLength)
        return;
    m_description->setPlainText(FitToBytes(text, kDescriptionMaxLength));
    m_description->moveCursor(QTextCursor::End);
}

}  // namespace sarvo::ui
