#include "ui/dialogs/AddUpdateHostDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "server/ServerIdentity.h"
#include "services/CommunityOwner.h"
#include "store/CommunityRecords.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/TrimmedText.h"

namespace sarvo::ui {

QString PageEntry(const std::string& page) {
    if (page.empty())
        return QString::fromUtf8(kRootPage);
    if (page.back() == '/')
        return QLatin1Char('[') + FromStore(page.substr(0, page.size() - 1)) + QLatin1Char(']');
    return FromStore(page);
}

std::string PageOfEntry(const QString& entry) {
    if (entry == QString::fromUtf8(kRootPage))
        return {};
    if (entry.startsWith(QLatin1Char('[')) && entry.endsWith(QLatin1Char(']')))
        return ToStore(entry.mid(1, entry.size() - 2)) + "/";
    return ToStore(entry);
}

QString AddUpdateHostDialog::DefaultLoginUrl() {
    QUrl address(QString::fromUtf8(kProductPageAddress));
    address.setScheme(QStringLiteral("http"));
    address.setPath(QString::fromUtf8(kDefaultLoginPath));
    return address.toString();
}

AddUpdateHostDialog::AddUpdateHostDialog(QWidget* parent, Purpose purpose, const CommunityHost& host)
    : PropertyDialog(parent, kAddUpdateHostCaption), m_purpose(purpose), m_host(host) {
    auto* layout = new QVBoxLayout(this);
    auto* login = new QGroupBox(QString::fromUtf8(kLoginGroup), this);
    auto* loginLayout = new QGridLayout(login);
    m_id = NamedLineEdit(kIdLabel, static_cast<int>(kCommunityIdMax), login);
    m_loginUrl = NamedLineEdit(kLoginUrlField, static_cast<int>(kCommunityTextMax), login);
    loginLayout->addWidget(LabelFor(kIdLabel, m_id, login), 0, 0);
    loginLayout->addWidget(m_id, 0, 1);
    loginLayout->addWidget(LabelFor(kUrlLabel, m_loginUrl, login), 1, 0);
    loginLayout->addWidget(m_loginUrl, 1, 1);
    layout->addWidget(login);

    auto* site = new QGridLayout;
    m_name = NamedLineEdit(kNameLabel, static_cast<int>(kCommunityTextMax), this);
    m_page = new QComboBox(this);
    m_page->setObjectName(kPageField);
    m_icon = new QComboBox(this);
    m_icon->setObjectName(kIconLabel);
    m_description = new QPlainTextEdit(this);
    m_description->setObjectName(kDescriptionLabel);
    m_description->setTabChangesFocus(true);
    m_description->setFixedHeight(m_description->fontMetrics().lineSpacing() * 4 + 12);
    site->addWidget(LabelFor(kNameLabel, m_name, this), 0, 0);
    site->addWidget(m_name, 0, 1, 1, 2);
    site->addWidget(LabelFor(kUrlLabel, m_page, this), 1, 0);
    site->addWidget(m_page, 1, 1, 1, 2);
    site->addWidget(LabelFor(kIconLabel, m_icon, this), 2, 0);
    site->addWidget(m_icon, 2, 1);
    site->addWidget(new QLabel(QString::fromUtf8(kIconSizeNote), this), 2, 2);
    site->addWidget(LabelFor(kDescriptionLabel, m_description, this), 3, 0, Qt::AlignTop);
    site->addWidget(m_description, 3, 1, 1, 2);
    site->setColumnStretch(1, 1);
    layout->addLayout(site);
    AddButtons(layout);
    setMinimumWidth(460);

    UpdateControlsOn(m_id, &QLineEdit::textChanged);
    UpdateControlsOn(m_loginUrl, &QLineEdit::textChanged);
    Start();
}

void AddUpdateHostDialog::Load() {
    const bool adding = m_purpose == Purpose::Add;
    m_id->setText(adding && m_host.id.empty() ? QString::fromUtf8(kDefaultMemberId) : FromStore(m_host.id));
    m_id->setReadOnly(!adding);
    m_loginUrl->setText(adding && m_host.loginUrl.empty() ? DefaultLoginUrl() : FromStore(m_host.loginUrl));
    m_name->setText(FromStore(m_host.memberName));
    for (const std::string& page : CommunityPageChoices())
        m_page->addItem(PageEntry(page));
    const int page = m_page->findText(PageEntry(m_host.page));
    m_page->setCurrentIndex(page >= 0 ? page : 0);
    for (const std::string& icon : CommunityIconChoices())
        m_icon->addItem(FromStore(icon));
    m_icon->setCurrentIndex(m_icon->findText(FromStore(m_host.icon)));
    m_description->setPlainText(FromStore(m_host.memberDescription));
    (adding ? m_id : m_name)->setFocus();
}

void AddUpdateHostDialog::UpdateControls() {
    const std::string id = ToStore(Trimmed(m_id));
    const bool fresh = m_purpose == Purpose::Update || !FindCommunityHost(id);
    OkButton()->setEnabled(id.size() >= kHostIdMin &&
                           ToStore(Trimmed(m_loginUrl)).size() >= kHostLoginUrlMin && fresh);
}

void AddUpdateHostDialog::Save() {
    m_host.id = ToStore(Trimmed(m_id));
    m_host.loginUrl = ToStore(Trimmed(m_loginUrl));
    m_host.memberName = ToStore(Trimmed(m_name));
    m_host.page = PageOfEntry(m_page->currentText());
    m_host.icon = ToStore(m_icon->currentText());
    // The stored field has room for this many bytes.
    std::string description = ToStore(Trimmed(m_description->toPlainText()));
    if (description.size() > kCommunityTextMax)
        description = ToStore(FromStore(description.substr(0, kCommunityTextMax)));
    m_host.memberDescription = description;
}

}  // namespace sarvo::ui
