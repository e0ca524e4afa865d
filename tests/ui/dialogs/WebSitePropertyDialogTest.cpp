#include "ui/dialogs/WebSitePropertyDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <arpa/inet.h>

#include <cstdlib>

#include "DialogTestSupport.h"
#include "platform/ProcessPriority.h"
#include "server/HttpServer.h"
#include "store/SiteSettings.h"
#include "support/LoopbackServer.h"
#include "ui/dialogs/DialogTexts.h"

namespace sarvo::ui::test {
namespace {

struct ShortcutCalls {
    bool exists = false;
    int created = 0;
    int deleted = 0;
};

WebSitePropertyActions ActionsFor(ShortcutCalls& calls) {
    WebSitePropertyActions actions;
    actions.desktopShortcutExists = [&calls] { return calls.exists; };
    actions.createDesktopShortcut = [&calls] { return ++calls.created > 0; };
    actions.deleteDesktopShortcut = [&calls] { return ++calls.deleted > 0; };
    return actions;
}

struct PortCase {
    const char* typed;
    const char* shown;
    bool okEnabled;
};

class WebSitePortTest : public DialogTest, public ::testing::WithParamInterface<PortCase> {};

TEST_P(WebSitePortTest, OkIsEnabledOnlyForAPortFrom1To65535) {
    const PortCase& c = GetParam();
    WebSitePropertyDialog dialog(nullptr, {});
    auto* port = Child<QLineEdit>(&dialog, kPortLabel);
    TypeInto(port, QString::fromUtf8(c.typed));
    EXPECT_EQ(port->text(), QString::fromUtf8(c.shown)) << "digits only, at most five";
    EXPECT_EQ(Child<QPushButton>(&dialog, kOkButton)->isEnabled(), c.okEnabled);
}

INSTANTIATE_TEST_SUITE_P(Ports, WebSitePortTest,
                         ::testing::Values(PortCase{"0", "0", false}, PortCase{"1", "1", true},
                                           PortCase{"8080", "8080", true}, PortCase{"65535", "65535", true},
                                           PortCase{"65536", "65536", false},
                                           PortCase{"70000", "70000", false}, PortCase{"", "", false},
                                           PortCase{"8a0-8", "808", true}, PortCase{"1234567", "12345", true},
                                           PortCase{"99999", "99999", false}),
                         [](const auto& info) { return CaseName(info.index, info.param.typed); });

TEST_F(DialogTest, WebSitePropertyOkStoresEveryFieldAndCancelNone) {
    ASSERT_TRUE(SetListenIp(inet_addr("127.0.0.1")));
    ASSERT_TRUE(SetListenPort(8080));
    ASSERT_TRUE(SetLogEnabled(false));
    ASSERT_TRUE(SetLogSelf(true));

    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        ShortcutCalls calls;
        calls.exists = true;
        WebSitePropertyDialog dialog(nullptr, ActionsFor(calls));
        auto* address = Child<QComboBox>(&dialog, kIpLabel);
        EXPECT_EQ(address->itemText(0), QStringLiteral("0.0.0.0"));
        EXPECT_EQ(address->currentText(), QStringLiteral("127.0.0.1")) << "the stored address is selected";
        EXPECT_EQ(Child<QLineEdit>(&dialog, kPortLabel)->text(), QStringLiteral("8080"));
        EXPECT_TRUE(Child<QCheckBox>(&dialog, kDesktopIcon)->isChecked());
        EXPECT_TRUE(Child<QRadioButton>(&dialog, kNormalClass)->isChecked())
            << "tests run at normal priority";

        address->setCurrentIndex(0);
        TypeInto(Child<QLineEdit>(&dialog, kPortLabel), QStringLiteral("8181"));
        Child<QCheckBox>(&dialog, kKeepLogFile)->setChecked(true);
        Child<QCheckBox>(&dialog, kDoNotLogThisComputer)->setChecked(true);
        Child<QCheckBox>(&dialog, kDesktopIcon)->setChecked(false);
        Child<QPushButton>(&dialog, ok ? kOkButton : kCancelButton)->click();

        EXPECT_EQ(GetListenIp(), ok ? 0u : inet_addr("127.0.0.1"));
        EXPECT_EQ(GetListenPort(), ok ? 8181 : 8080);
        EXPECT_EQ(IsLogEnabled(), ok);
        EXPECT_EQ(LogSelf(), !ok);
        EXPECT_FALSE(UseIdleProcess());
        EXPECT_EQ(calls.deleted, ok ? 1 : 0);
        EXPECT_EQ(calls.created, 0);
    }
}

TEST_F(DialogTest, WebSitePropertyIdleClassStoresTheSettingAndLowersTheProcess) {
    if (CurrentProcessPriority() != ProcessPriority::Normal)
        GTEST_SKIP() << "the tests were started below normal priority";
    // An ordinary user cannot return from idle, so the dialog lowers a process of its own, started
    // afresh rather than forked from one that runs Qt's threads. The process ends at once with what it
    // found, before exit handlers (the leak checker of the sanitizer build among them) run with the
    // application still alive.
    constexpr int kLowered = 0;
    constexpr int kNotStored = 3;
    constexpr int kNotLowered = 4;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            WebSitePropertyDialog dialog(nullptr, {});
            Child<QRadioButton>(&dialog, kIdleClass)->click();
            Child<QPushButton>(&dialog, kOkButton)->click();
            std::_Exit(!UseIdleProcess()                                   ? kNotStored
                       : CurrentProcessPriority() != ProcessPriority::Idle ? kNotLowered
                                                                           : kLowered);
        },
        ::testing::ExitedWithCode(kLowered), "")
        << kNotStored << ": the setting was not stored; " << kNotLowered << ": the process was not lowered";
}

TEST_F(DialogTest, WebSitePropertyWhileTheServerRunsChangesOnlyTheLogging) {
    sarvo::test::LoopbackServer server;
    ASSERT_TRUE(server.Started());
    ASSERT_TRUE(SetListenPort(static_cast<uint16_t>(server.Port() == 65535 ? 65534 : server.Port() + 1)));
    const uint16_t storedPort = GetListenPort();
    const uint32_t storedAddress = GetListenIp();
    const std::optional<ProcessPriority> priority = CurrentProcessPriority();
    ASSERT_TRUE(SetLogEnabled(false));

    bool uninstalled = false;
    WebSitePropertyActions actions;
    actions.uninstall = [&uninstalled](QWidget*) { uninstalled = true; };
    WebSitePropertyDialog dialog(nullptr, actions);
    auto* port = Child<QLineEdit>(&dialog, kPortLabel);
    EXPECT_EQ(port->text(), QString::number(server.Port())) << "the port the server listens on";
    EXPECT_EQ(Child<QComboBox>(&dialog, kIpLabel)->currentText(), QStringLiteral("127.0.0.1"));
    Child<QComboBox>(&dialog, kIpLabel)->setCurrentIndex(0);
    for (const char* locked : {kPortLabel, kIpLabel, kIdleClass, kNormalClass, kUninstallButton}) {
        SCOPED_TRACE(locked);
        EXPECT_FALSE(Child<QWidget>(&dialog, locked)->isEnabled());
    }
    port->setText(QStringLiteral("8181"));
    Child<QRadioButton>(&dialog, kIdleClass)->setChecked(true);
    Child<QCheckBox>(&dialog, kKeepLogFile)->setChecked(true);
    Child<QCheckBox>(&dialog, kDoNotLogThisComputer)->setChecked(true);
    Child<QPushButton>(&dialog, kOkButton)->click();

    EXPECT_TRUE(IsLogEnabled());
    EXPECT_FALSE(LogSelf());
    EXPECT_EQ(GetListenPort(), storedPort);
    EXPECT_EQ(GetListenIp(), storedAddress);
    EXPECT_FALSE(UseIdleProcess());
    EXPECT_EQ(CurrentProcessPriority(), priority);
    EXPECT_TRUE(IsServerRunning());
    EXPECT_FALSE(uninstalled);
}

TEST_F(DialogTest, WebSitePropertyEnablesWhatItWasGivenTheMeansFor) {
    WebSitePropertyDialog bare(nullptr, {});
    for (const char* control : {kGuestbookButton, kUninstallButton, kDesktopIcon}) {
        SCOPED_TRACE(control);
        EXPECT_FALSE(Child<QWidget>(&bare, control)->isEnabled());
    }

    ShortcutCalls calls;
    WebSitePropertyActions actions = ActionsFor(calls);
    int guestbookOpened = 0;
    actions.openGuestbook = [&guestbookOpened](QWidget*) { ++guestbookOpened; };
    actions.uninstall = [](QWidget*) {};
    WebSitePropertyDialog dialog(nullptr, actions);
    auto* guestbook = Child<QPushButton>(&dialog, kGuestbookButton);
    EXPECT_TRUE(guestbook->isEnabled());
    guestbook->click();
    EXPECT_EQ(guestbookOpened, 1);
    EXPECT_TRUE(Child<QWidget>(&dialog, kUninstallButton)->isEnabled());
    EXPECT_FALSE(Child<QCheckBox>(&dialog, kDesktopIcon)->isChecked());
    Child<QCheckBox>(&dialog, kDesktopIcon)->setChecked(true);
    Child<QPushButton>(&dialog, kOkButton)->click();
    EXPECT_EQ(calls.created, 1);
}

}  // namespace
}  // namespace sarvo::ui::test
