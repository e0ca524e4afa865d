#pragma once

#include <QDialog>

#include <cstdint>
#include <vector>

class QComboBox;

namespace sarvo::ui {

// "Select IP": the addresses of this computer's name and of "localhost", one of which the site's URL
// shows.
class SelectIpDialog : public QDialog {
    Q_OBJECT
public:
    // Addresses in network byte order.
    SelectIpDialog(uint32_t currentAddress, QWidget* parent = nullptr);

    uint32_t SelectedAddress() const;

    void accept() override;

private:
    QComboBox* m_addresses = nullptr;
};

// Every IPv4 address the name resolves to, in the resolver's order, duplicates kept.
std::vector<uint32_t> ResolveIpv4Addresses(const char* hostName);

}  // namespace sarvo::ui
