#include <gtest/gtest.h>

#include <map>

#include "common/Text.h"
#include "platform/Notification.h"
#include "services/ChatFixture.h"
#include "services/ChatText.h"
#include "store/SiteSettings.h"
#include "support/NotificationRecorder.h"

namespace sarvo::test {
namespace {

// Members of each case: H a host (absent when the host page is requested), G and O guests. In texts,
// $H, $G and $O stand for their names, $o for the lower-case name of O.
enum class Extra { None, AddressBlocked, WelcomeStored, HostPageRequested };

struct Seen {
    char member;  // 'H', 'G' or 'O'
    std::string text;
};

struct CommandCase {
    CommandCase(const char* name, char sender, std::string speech, std::string recipient,
                std::vector<Seen> seen, std::vector<Seen> unseen = {}, char closed = 0,
                Extra extra = Extra::None)
        : name(name),
          sender(sender),
          speech(std::move(speech)),
          recipient(std::move(recipient)),
          seen(std::move(seen)),
          unseen(std::move(unseen)),
          closed(closed),
          extra(extra) {}

    const char* name;
    char sender;
    std::string speech;
    std::string recipient;
    std::vector<Seen> seen;
    std::vector<Seen> unseen;  // texts the member must not get
    char closed;               // a member whose stream the command closes
    Extra extra;
};

// Test names are the cases' own; the default would print the object's bytes.
void PrintTo(const CommandCase& c, std::ostream* out) {
    *out << c.name;
}

std::string Font(const std::string& name) {
    return std::string(kMemberNameFont) + name + "</font>";
}

std::string Reply(const std::string& html) {
    return "<b style=\"color:#ff0000\">Sarvo: </b>" + html + "</p>";
}

const std::string kAnyReply = "<b style=\"color:#ff0000\">Sarvo: </b>";
const std::string kNotAllowed = Reply("You are not allowed to use this command.");
const std::string kAttention = " asked your attention.</p><script LANGUAGE=JAVASCRIPT>";
const std::string kFocus = "scrollIntoView(true);parent.input.focus();</SCRIPT>";

const CommandCase kCases[] = {
    CommandCase("HostRenames", 'H', "!name=  Zed", "All",
                {{'H', Font("$H") + " has changed his/her name as " + Font("Zed") + "</p><script"},
                 {'G', Font("$H") + " has changed his/her name as " + Font("Zed")},
                 {'O', "scrollIntoView(true);parent.list.document.location.reload();</SCRIPT>"},
                 {'H', "parent.document.title=\"Zed --- Sarvo Chat Room\";"}}),
    CommandCase("ThirtyCharactersAreANameLeadingBlanksUncounted", 'G', "!NAME=   " + std::string(30, 'n'),
                "All", {{'G', " has changed his/her name as " + Font(std::string(30, 'n'))}}),
    CommandCase("ThirtyOneCharactersAreTooLong", 'G', "!name=" + std::string(31, 'n'), "All",
                {{'G', Reply("Your new name is too long.")}}),
    CommandCase("TrailingBlanksAreCounted", 'G', "!name=" + std::string(29, 'n') + "  ", "All",
                {{'G', Reply("Your new name is too long.")}}),
    CommandCase("AtSignIsIllegal", 'G', "!name=a@b", "All",
                {{'G', Reply("Your new name contains illegal characters.")}}),
    CommandCase("BlanksOnlyGiveNoReply", 'G', "!name=   ", "All", {}, {{'G', kAnyReply}}),
    CommandCase("SameNameGivesNoReply", 'H', "!name=$H", "All", {}, {{'H', kAnyReply}}),
    CommandCase("AllIsReserved", 'H', "!name=aLL", "All",
                {{'H', Reply(Font("aLL") + " is reserved. Please select a different one.")}}),
    CommandCase("HostMayBeHost", 'H', "!name=hOsT", "All",
                {{'G', " has changed his/her name as " + Font("hOsT")}}),
    CommandCase("GuestMayNotBeHostess", 'G', "!name=Hostess", "All",
                {{'G', Reply(Font("Hostess") + " is reserved. Please select a different one.")}}),
    CommandCase("NamesDifferingInCapitalsClash", 'G', "!name=$o", "All",
                {{'G', Reply("Your new name is used by another member.")}}),
    CommandCase(
        "KickWithAllSelected", 'H', "!kick", "All",
        {{'H', Reply("If you want to kick everybody out, you can simply stop the Web Chat Service.")}}),
    CommandCase("KickNamed", 'H', "!kick  $O", "All",
                {{'H', Reply(Font("$O") + " has been disconnected.")}, {'G', "location.reload();"}}, {}, 'O'),
    CommandCase("KickSelected", 'H', "!Kick", "$O", {{'H', Reply(Font("$O") + " has been disconnected.")}},
                {}, 'O'),
    CommandCase("KickWithoutBlank", 'H', "!kickass", "All",
                {{'H', Reply(Font("ass") + " is not in the room.")}}),
    CommandCase("KickEchoesTheTypedNameEscaped", 'H', "!kick <i>x", "All",
                {{'H', Reply(Font("&lt;i&gt;x") + " is not in the room.")}}),
    CommandCase("KickAHost", 'H', "!KICK $H", "All",
                {{'H', Reply("You can not use " + Font("!kick") + " command on " + Font("$H") + ", beasue " +
                             Font("$H") + " is a host.")}}),
    CommandCase("GuestMayNotKick", 'G', "!kick $O", "All", {{'G', kNotAllowed}}, {{'O', kAnyReply}}),
    CommandCase("BlockNamed", 'H', "!block $O", "All",
                {{'H', Reply(Font("$O") + " has been disconnected and blocked.")}}, {}, 'O',
                Extra::AddressBlocked),
    CommandCase("BlockAHost", 'H', "!block $H", "All",
                {{'H', Reply("You can not use " + Font("!block") + " command on " + Font("$H") + ", beasue " +
                             Font("$H") + " is a host.")}}),
    CommandCase("GuestMayNotBlock", 'G', "!block", "$O", {{'G', kNotAllowed}}),
    CommandCase("HostSetsTheWelcome", 'H', "!welcome=  Hi <all>  ", "All",
                {{'H', Reply("Welcome message has been updated.")}}, {}, 0, Extra::WelcomeStored),
    CommandCase("GuestMayNotSetTheWelcome", 'G', "!welcome=hi", "All", {{'G', kNotAllowed}}),
    CommandCase("HostWakesAll", 'H', "!wakeup", "All",
                {{'H', Reply("!WakeupAll means to wake up the host, but you are the host.")}}),
    CommandCase("GuestWakesTheHost", 'G', "!wakeup", "All",
                {{'H', "[$G]" + kAttention},
                 {'H', kFocus},
                 {'G', Reply("I told [$H] (the host of this chat room): [$G] asked your attention.")}}),
    CommandCase(
        "GuestWakesAnAbsentHost", 'G', "!WAKEUP all", "All",
        {{'G',
          Reply(
              "The host is not in the room. I am going to open a chat window for the host of this room. Then "
              "you can talk to him.")}},
        {}, 0, Extra::HostPageRequested),
    CommandCase("GuestWakesAMember", 'G', "!WakeUp $O", "All",
                {{'O', "[$G]" + kAttention}, {'G', Reply("I told [$O]: [$G] asked your attention.")}},
                {{'H', "attention"}}),
    CommandCase("GuestWakesTheSelectedMember", 'G', "!wakeup", "$O", {{'O', "[$G]" + kAttention}}),
    CommandCase("GuestWakesItself", 'G', "!wakeup $G", "All", {{'G', Reply("You needn't wakeup yourself.")}}),
    CommandCase("WakeAStrangerEscaped", 'G', "!wakeup ghost<b>", "All",
                {{'G', Reply("[ghost&lt;b&gt;] is not in the chat room.")}}),
    CommandCase("UnknownCommand", 'G', "!dance", "All", {{'G', Reply("Unknown command: " + Font("!dance"))}}),
    CommandCase("UnknownCommandShowsThirtyCharacters", 'H', "!" + std::string(40, 'x'), "All",
                {{'H', Reply("Unknown command: " + Font("!" + std::string(29, 'x')))}}),
};

class ChatCommandTest : public ChatRoomFixture, public ::testing::WithParamInterface<CommandCase> {
protected:
    std::string Fill(std::string text) const {
        for (const auto& [key, member] : m_members) {
            for (bool lower : {false, true}) {
                const std::string token =
                    std::string("$") + (lower ? static_cast<char>(std::tolower(key)) : key);
                const std::string name = lower ? ToLowerAscii(member->GuestName()) : member->GuestName();
                for (size_t at = text.find(token); at != std::string::npos;
                     at = text.find(token, at + name.size()))
                    text.replace(at, token.size(), name);
            }
        }
        return text;
    }

    std::map<char, std::unique_ptr<ChatClient>> m_members;
};

TEST_P(ChatCommandTest, RepliesAndEffects) {
    const CommandCase& c = GetParam();
    NotificationRecorder mainWindow(NotificationChannel::MainWindow);
    if (c.extra != Extra::HostPageRequested)
        m_members['H'] = Join(Seat::Host);
    m_members['G'] = Join(Seat::Guest);
    m_members['O'] = Join(Seat::Guest);
    std::map<char, size_t> start;
    for (const auto& [key, member] : m_members)
        start[key] = member->Text().size();

    ChatClient& sender = *m_members[c.sender];
    ASSERT_EQ(Say(sender, Fill(c.speech), Fill(c.recipient)), "HTTP/1.1 204 No Content");
    // Lines reach each member in the order they were said, so what a member got before this marker
    // is all the command did for it.
    ASSERT_EQ(Say(sender, "zz-marker"), "HTTP/1.1 204 No Content");
    for (const auto& [key, member] : m_members) {
        SCOPED_TRACE(std::string("member ") + key);
        if (key == c.closed) {
            EXPECT_TRUE(member->WaitForClose());
            EXPECT_EQ(member->Text().find("zz-marker"), std::string::npos);
            continue;
        }
        const size_t marker = member->WaitFor(": </b>zz-marker", start[key]);
        ASSERT_NE(marker, std::string::npos) << member->Text().substr(start[key]);
        const std::string window = member->Text().substr(start[key], marker - start[key]);
        for (const Seen& seen : c.seen) {
            if (seen.member == key) {
                EXPECT_NE(window.find(Fill(seen.text)), std::string::npos) << Fill(seen.text) << "\nin\n"
                                                                           << window;
            }
        }
        for (const Seen& unseen : c.unseen) {
            if (unseen.member == key) {
                EXPECT_EQ(window.find(Fill(unseen.text)), std::string::npos) << window;
            }
        }
    }
    switch (c.extra) {
        case Extra::AddressBlocked:
            EXPECT_EQ(ReadAutoBlockList(), (std::vector<uint8_t>{127, 0, 0, 1}));
            break;
        case Extra::WelcomeStored:
            EXPECT_EQ(GetWebChatWelcomeMsg(), "Hi <all>");
            break;
        case Extra::HostPageRequested:
            EXPECT_EQ(mainWindow.CountOf(CMD_OPEN_WEBCHAT_PAGE), 1u);
            break;
        default:
            EXPECT_EQ(mainWindow.CountOf(CMD_OPEN_WEBCHAT_PAGE), 0u);
            EXPECT_TRUE(ReadAutoBlockList().empty());
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, ChatCommandTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

}  // namespace
}  // namespace sarvo::test
