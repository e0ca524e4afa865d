#include "ui/SelectIpDialog.h"

#include <netdb.h>
#include <netinet/in.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "common/Format.h"
#include "platform/LocalAddresses.h"
#include "ui/UiTexts.h"

namespace sarvo::ui {
namespace {

QString AddressText(uint32_t address) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&address);
    return QString::fromStdString(Format("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]));
}

}  // namespace

std::vector<uint32_t> ResolveIpv4Addresses(const char* hostName) {
    std::vector<uint32_t> addresses;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(hostName, nullptr, &hints, &found) != 0)
        return addresses;
    for (const addrinfo* each = found; each; each = each->ai_next)
        addresses.push_back(reinterpret_cast<const sockaddr_in*>(each->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return addresses;
}

SelectIpDialog::SelectIpDialog(uint32_t currentAddress, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kSelectIpCaption));
    m_addresses = new QComboBox(this);
    m_addresses->setObjectName(QStringLiteral("Addresses"));
    std::vector<uint32_t> addresses = ResolveIpv4Addresses(GetHostName().c_str());
    for (uint32_t address : ResolveIpv4Addresses("localhost"))
        addresses.push_back(address);
    for (uint32_t address : addresses)
        m_addresses->addItem(AddressText(address), address);
    m_addresses->setCurrentIndex(m_addresses->findData(currentAddress));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SelectIpDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_addresses);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

uint32_t SelectIpDialog::SelectedAddress() const {
    return m_addresses->currentData().toUInt();
}

void SelectIpDialog::accept() {
    if (m_addresses->currentIndex() < 0) {
        reject();
        return;
    }
    QDialog::accept();
}

}  // namespace sarvo::ui
