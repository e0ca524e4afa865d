#pragma once

#include <cstdint>

// How the core tells a front end that something happened, in place of posting window messages: each
// post carries a command id and one argument (a socket, a count) and is delivered to the target
// registered for its channel, on the posting thread. A target that needs the event on another thread
// (a GUI thread) queues it there itself. A post to a channel without a target is dropped, as a message
// to a window that does not exist is.
namespace sarvo {

enum class NotificationChannel {
    MainWindow,   // server state, guestbook alarms, chat room requests
    ClientsList,  // client activity records
    ChatWindow,   // chat room opened, closed, members changed
};
inline constexpr int kNotificationChannelCount = 3;

class NotificationTarget {
public:
    virtual ~NotificationTarget() = default;
    // Called on the posting thread; must not block for long and must not post to the same channel.
    virtual void Post(uint32_t commandId, uintptr_t argument) = 0;
};

// Registers (or, with nullptr, removes) the channel's target. A removal waits for posts under way, so
// the target may be destroyed as soon as this returns.
void SetNotificationTarget(NotificationChannel channel, NotificationTarget* target);

void PostNotification(NotificationChannel channel, uint32_t commandId, uintptr_t argument);

}  // namespace sarvo
