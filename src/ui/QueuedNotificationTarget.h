#pragma once

#include <QObject>

#include <cstdint>
#include <functional>

#include "platform/Notification.h"

namespace sarvo::ui {

// Receives the core's posts on the posting thread and queues each to the thread of a QObject (the
// GUI thread), where the handler runs. Registered on its channel for as long as it lives, which must
// end before the receiver's: the receiver owns it.
class QueuedNotificationTarget : public NotificationTarget {
public:
    using Handler = std::function<void(uint32_t commandId, uintptr_t argument)>;

    QueuedNotificationTarget(NotificationChannel channel, QObject* receiver, Handler handler);
    ~QueuedNotificationTarget() override;
    QueuedNotificationTarget(const QueuedNotificationTarget&) = delete;
    QueuedNotificationTarget& operator=(const QueuedNotificationTarget&) = delete;

    void Post(uint32_t commandId, uintptr_t argument) override;

private:
    NotificationChannel m_channel;
    QObject* m_receiver;
    Handler m_handler;
};

}  // namespace sarvo::ui
