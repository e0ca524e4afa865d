#pragma once

#include <QStringList>

#include "services/CommunityStore.h"

// The rows of the community dialogs' lists.
namespace sarvo::ui {

// The Last Login column is at least as wide as this.
inline constexpr char kWidestLastLogin[] = "2026-12-31 23:59:59";

// The time as the lists show it; "" before the first login.
QString LastLoginText(const SystemTime& time);

// ID, Name, URL, Last Login, Description.
QStringList CommunityMemberRow(const CommunityMember& member);

// Member ID, Member Name, Member Description, Login URL, Last Login, Host Name, Host Page, Host
// Description.
QStringList CommunityHostRow(const CommunityHost& host);

}  // namespace sarvo::ui
