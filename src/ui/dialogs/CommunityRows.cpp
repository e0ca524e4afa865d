#include "ui/dialogs/CommunityRows.h"

#include "ui/dialogs/TrimmedText.h"

namespace sarvo::ui {

QString LastLoginText(const SystemTime& time) {
    return time.year == 0 ? QString() : FromStore(FormatLastLogin(time));
}

QStringList CommunityMemberRow(const CommunityMember& member) {
    return {FromStore(member.id), FromStore(member.name), FromStore(member.url),
            LastLoginText(member.lastLogin), FromStore(member.description)};
}

QStringList CommunityHostRow(const CommunityHost& host) {
    return {FromStore(host.id),       FromStore(host.memberName),     FromStore(host.memberDescription),
            FromStore(host.loginUrl), LastLoginText(host.lastLogin),  FromStore(host.hostName),
            FromStore(host.hostPage), FromStore(host.hostDescription)};
}

}  // namespace sarvo::ui
