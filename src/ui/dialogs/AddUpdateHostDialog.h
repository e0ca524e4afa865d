#pragma once

#include "services/CommunityStore.h"
#include "ui/dialogs/PropertyDialog.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace sarvo::ui {

// One web community this server is a member of: the ID and login address the host gave, and the name,
// page, icon and description this server shows there. Stores nothing: the member dialog stores the
// record the dialog returns.
class AddUpdateHostDialog : public PropertyDialog {
    Q_OBJECT

public:
    // A new record starts with these, which name the product's public community.
    static constexpr char kDefaultMemberId[] = "guest";
    static constexpr char kDefaultLoginPath[] = "/WebCommunity/login";

    enum class Purpose { Add, Update };

    // For Add, host's fields other than the defaults are empty. For Update the ID stays as it is: it
    // is the key of the record being changed.
    AddUpdateHostDialog(QWidget* parent, Purpose purpose, const CommunityHost& host);

    // The record after OK: the owner's fields trimmed, the rest as given.
    const CommunityHost& Host() const { return m_host; }

    // The login address a new record is given: the product's site, on plain HTTP.
    static QString DefaultLoginUrl();

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    Purpose m_purpose;
    CommunityHost m_host;
    QLineEdit* m_id;
    QLineEdit* m_loginUrl;
    QLineEdit* m_name;
    QComboBox* m_page;
    QComboBox* m_icon;
    QPlainTextEdit* m_description;
};

// The page drop-down's entry for a stored page ("" is "[Root]", "Name/" is "[Name]", a file its name),
// and back.
QString PageEntry(const std::string& page);
std::string PageOfEntry(const QString& entry);

}  // namespace sarvo::ui
