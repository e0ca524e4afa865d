#include "ui/QueuedNotificationTarget.h"

#include <QMetaObject>

namespace sarvo::ui {

QueuedNotificationTarget::QueuedNotificationTarget(NotificationChannel channel, QObject* receiver,
                                                   Handler handler)
    : m_channel(channel), m_receiver(receiver), m_handler(std::move(handler)) {
    SetNotificationTarget(m_channel, this);
}

QueuedNotificationTarget::~QueuedNotificationTarget() {
    SetNotificationTarget(m_channel, nullptr);
}

void QueuedNotificationTarget::Post(uint32_t commandId, uintptr_t argument) {
    // The receiver as the call's context: Qt drops a queued call whose receiver was destroyed before
    // the call ran.
    QMetaObject::invokeMethod(
        m_receiver, [handler = m_handler, commandId, argument] { handler(commandId, argument); },
        Qt::QueuedConnection);
}

}  // namespace sarvo::ui
