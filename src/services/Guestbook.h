#pragma once

#include <cstdint>

#include "services/GuestbookMessage.h"

// The guestbook's two routes: the form page, and the post that stores one message per file and
// answers with a small reply page.
namespace sarvo {

class ConnectionContext;
class HttpResponse;
struct ResolvedPath;

// Posted on NotificationChannel::MainWindow (argument 0) for every stored message while
// GuestbookAlarm is on; the front end then shows kGuestbookNotice.
inline constexpr uint32_t CMD_GUESTBOOK_ALARM = 32809;
inline constexpr char kGuestbookNotice[] = "There is a new message in your guestbook.";

void BuildGuestbookForm(HttpResponse& response);
void BuildGuestbookReply(HttpResponse& response, GuestbookReply reply);

int SendGuestbookForm(ConnectionContext& connection, const ResolvedPath& path);
int SendGuestbookReply(ConnectionContext& connection, GuestbookReply reply);
// Reads the body, stores the message and answers. Returns the result of sending the reply, or the
// negative socket error that ended the reading (then nothing is sent and nothing stored).
int PostGuestbookMessage(ConnectionContext& connection, const ResolvedPath& path);

// Posts CMD_GUESTBOOK_ALARM when GuestbookAlarm is on.
void NotifyGuestbookAlarm();

void RegisterGuestbookHandlers();

}  // namespace sarvo
