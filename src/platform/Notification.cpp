#include "platform/Notification.h"

#include <array>
#include <mutex>

namespace sarvo {
namespace {

struct Channel {
    std::mutex lock;
    NotificationTarget* target = nullptr;
};

// Never destroyed: detached connection threads may still post while the process exits, and a
// destroyed mutex must not be locked.
std::array<Channel, kNotificationChannelCount>& Channels() {
    static auto* channels = new std::array<Channel, kNotificationChannelCount>;
    return *channels;
}

Channel& ChannelOf(NotificationChannel channel) {
    return Channels()[static_cast<size_t>(channel)];
}

}  // namespace

void SetNotificationTarget(NotificationChannel channel, NotificationTarget* target) {
    Channel& slot = ChannelOf(channel);
    std::lock_guard<std::mutex> hold(slot.lock);
    slot.target = target;
}

void PostNotification(NotificationChannel channel, uint32_t commandId, uintptr_t argument) {
    Channel& slot = ChannelOf(channel);
    std::lock_guard<std::mutex> hold(slot.lock);
    if (slot.target)
        slot.target->Post(commandId, argument);
}

}  // namespace sarvo
