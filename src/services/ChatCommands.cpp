#include "services/ChatCommands.h"

#include <string>

#include "common/Format.h"
#include "common/Html.h"
#include "common/Text.h"
#include "platform/Notification.h"
#include "server/AccessControl.h"
#include "services/ChatRoom.h"
#include "services/ChatText.h"
#include "services/Webchat.h"
#include "store/SiteSettings.h"

namespace sarvo {
namespace {

constexpr std::string_view kNamePrefix = "!name=";
constexpr std::string_view kKickPrefix = "!kick";
constexpr std::string_view kBlockPrefix = "!block";
constexpr std::string_view kWelcomePrefix = "!welcome=";
constexpr std::string_view kWakeupPrefix = "!wakeup";
constexpr size_t kUnknownCommandShown = 30;

constexpr char kNotAllowed[] = "You are not allowed to use this command.";
constexpr char kEveryone[] = "All";

enum class Removal { Kick, Block };

// A name as the replies quote it. Names the room set are plain already; names a member typed after a
// command are not, and are escaped like every other visitor text.
std::string Quoted(std::string_view name) {
    return NameInFont(HtmlEscape(name));
}

std::string_view SkipBlanksAndTabs(std::string_view text) {
    const size_t start = text.find_first_not_of(" \t");
    return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

// The member a command names: the text after the command, or else the name selected in the list.
std::string TargetName(std::string_view afterPrefix, std::string_view recipient) {
    std::string name = TrimmedCopy(SkipBlanksAndTabs(afterPrefix).substr(0, kChatNameLength));
    if (name.empty())
        name = TrimmedCopy(recipient.substr(0, kChatNameLength));
    return name;
}

bool IsReservedName(std::string_view name, bool senderIsHost) {
    if (EqualsIgnoreCase(name, kEveryone) || EqualsIgnoreCase(name, kRoomLabel) ||
        EqualsIgnoreCase(name, kReservedRoomName))
        return true;
    return !senderIsHost && (EqualsIgnoreCase(name, "Host") || EqualsIgnoreCase(name, "Hostess"));
}

class CommandRun {
public:
    CommandRun(ChatRoom& room, size_t sender, std::string_view recipient)
        : m_room(room), m_sender(sender), m_recipient(recipient) {}

    void Reply(const std::string& html) { m_room.SendChatLine(m_sender, kRoomLabel, html, {}); }
    ChatMember& Sender() { return m_room.Slot(m_sender); }

    void ChangeName(std::string_view afterPrefix) {
        const std::string_view rest = SkipBlanksAndTabs(afterPrefix);
        if (rest.size() > kChatNewNameLength)
            return Reply("Your new name is too long.");
        if (rest.find_first_of(kChatNameForbidden) != std::string_view::npos)
            return Reply("Your new name contains illegal characters.");
        std::string name = TrimmedCopy(rest);
        if (name.empty() || name == Sender().name)
            return;
        if (IsReservedName(name, Sender().isHost))
            return Reply(Quoted(name) + " is reserved. Please select a different one.");
        const int holder = m_room.FindByName(name);
        if (holder >= 0 && static_cast<size_t>(holder) != m_sender)
            return Reply("Your new name is used by another member.");
        const std::string line = Quoted(Sender().name) + " has changed his/her name as " + Quoted(name);
        m_room.Rename(m_sender, std::move(name));
        m_room.SendChatLineToAll(kRoomLabel, line, kReloadListScript);
        m_room.SendChatTitle(m_sender);
    }

    void Remove(std::string_view afterPrefix, std::string_view command, Removal removal) {
        if (!Sender().isHost)
            return Reply(kNotAllowed);
        const std::string target = TargetName(afterPrefix, m_recipient);
        if (EqualsIgnoreCase(target, kEveryone))
            return Reply("If you want to kick everybody out, you can simply stop the Web Chat Service.");
        const int found = m_room.FindByName(target);
        if (found < 0)
            return Reply(Quoted(target) + " is not in the room.");
        ChatMember& member = m_room.Slot(static_cast<size_t>(found));
        if (member.isHost)
            return Reply("You can not use " + Quoted(command) + " command on " + Quoted(target) +
                         ", beasue " + Quoted(target) + " is a host.");
        std::string reply = Quoted(target) + " has been disconnected.";
        if (removal == Removal::Block) {
            sockaddr_in peer{};
            if (member.connection->GetAddress(peer, TcpSocket::AddressSide::Peer))
                AddToAutoBlockList(peer.sin_addr.s_addr);
            reply = Quoted(target) + " has been disconnected and blocked.";
        }
        m_room.Drop(static_cast<size_t>(found));
        Reply(reply);
    }

    void SetWelcome(std::string_view afterPrefix) {
        if (!Sender().isHost)
            return Reply(kNotAllowed);
        SetWebChatWelcomeMsg(TrimmedCopy(SkipBlanksAndTabs(afterPrefix).substr(0, kChatWelcomeLength)));
        Reply("Welcome message has been updated.");
    }

    void WakeUp(std::string_view afterPrefix) {
        const std::string target = TargetName(afterPrefix, m_recipient);
        const std::string senderName = HtmlEscape(Sender().name);
        if (EqualsIgnoreCase(target, kEveryone))
            return WakeUpHost(senderName);
        const int found = m_room.FindByName(target);
        if (found < 0)
            return Reply("[" + HtmlEscape(target) + "] is not in the chat room.");
        if (static_cast<size_t>(found) == m_sender)
            return Reply("You needn't wakeup yourself.");
        const size_t index = static_cast<size_t>(found);
        m_room.SendChatLine(index, kRoomLabel, "[" + senderName + "] asked your attention.",
                            kFocusInputScript);
        Reply("I told [" + HtmlEscape(m_room.Slot(index).name) + "]: [" + senderName +
              "] asked your attention.");
    }

private:
    void WakeUpHost(const std::string& senderName) {
        if (Sender().isHost)
            return Reply("!WakeupAll means to wake up the host, but you are the host.");
        const int host = m_room.FindHost();
        if (host < 0) {
            Reply(
                "The host is not in the room. I am going to open a chat window for the host of this room. "
                "Then "
                "you can talk to him.");
            PostNotification(NotificationChannel::MainWindow, CMD_OPEN_WEBCHAT_PAGE, 0);
            return;
        }
        const size_t index = static_cast<size_t>(host);
        m_room.SendChatLine(index, kRoomLabel, "[" + senderName + "] asked your attention.",
                            kFocusInputScript);
        Reply("I told [" + HtmlEscape(m_room.Slot(index).name) + "] (the host of this chat room): [" +
              senderName + "] asked your attention.");
    }

    ChatRoom& m_room;
    size_t m_sender;
    std::string_view m_recipient;
};

}  // namespace

void ExecuteChatCommand(ChatRoom& room, size_t sender, std::string_view recipient, std::string_view speech) {
    CommandRun run(room, sender, recipient);
    // Tried in this order, each as a prefix without regard to case.
    if (StartsWithIgnoreCase(speech, kNamePrefix))
        return run.ChangeName(speech.substr(kNamePrefix.size()));
    if (StartsWithIgnoreCase(speech, kKickPrefix))
        return run.Remove(speech.substr(kKickPrefix.size()), kKickPrefix, Removal::Kick);
    if (StartsWithIgnoreCase(speech, kBlockPrefix))
        return run.Remove(speech.substr(kBlockPrefix.size()), kBlockPrefix, Removal::Block);
    if (StartsWithIgnoreCase(speech, kWelcomePrefix))
        return run.SetWelcome(speech.substr(kWelcomePrefix.size()));
    if (StartsWithIgnoreCase(speech, kWakeupPrefix))
        return run.WakeUp(speech.substr(kWakeupPrefix.size()));
    run.Reply("Unknown command: " + Quoted(speech.substr(0, kUnknownCommandShown)));
}

}  // namespace sarvo
