// Renders every dialog filled with realistic data to screenshots/ of the build tree, for a person to
// look at, and checks what a machine can see (see GalleryPhotograph.h).
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>

#include <arpa/inet.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "DialogTestSupport.h"
#include "GalleryPhotograph.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/SiteSettings.h"
#include "store/Users.h"
#include "ui/dialogs/AutoBlockerDialog.h"
#include "ui/dialogs/ClientIpFilterDialog.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/DynamicFilePropertyDialog.h"
#include "ui/dialogs/EnterTextDialog.h"
#include "ui/dialogs/FolderPropertyDialog.h"
#include "ui/dialogs/HomePageDialog.h"
#include "ui/dialogs/IpAddressEditorDialog.h"
#include "ui/dialogs/ThumbnailRunDialog.h"
#include "ui/dialogs/UserPasswordDialog.h"
#include "ui/dialogs/UsersPasswordsDialog.h"
#include "ui/dialogs/WebSitePropertyDialog.h"

namespace sarvo::ui::test {
namespace {

void FillSettings(const std::string& home) {
    SetListenPort(8080);
    SetLogEnabled(true);
    SetLogSelf(false);
    SetMainPageTitle("Anna's Holiday Pictures");
    SetSiteIntro("Pictures and videos of our summer in Norway, 2026. Please leave a note in the guestbook!");
    SetUser("anna", "fjord-2026");
    SetUser("Bjorn", "trolltunga");
    SetUser("carla", "midnight-sun");
    SetUsePasswords(true);
    WriteIpFilterList({192, 168, 1, 255, 10, 0, 0, 255, 203, 0, 113, 7, 172, 16, 255, 255});
    WriteIpFilterType(kIpFilterForbidden);
    WriteAutoBlockList({203, 0, 113, 7, 198, 51, 100, 23, 192, 0, 2, 99, 45, 33, 32, 156, 185, 220, 101, 4});
    WriteSharedFolder({"Holiday Pictures", "Norway, summer 2026", home + "/Pictures/2026 Norway", true, false,
                       true, true, false});
    PublishedFileRecord log;
    log.path = "/var/log/sarvo/server-2026-12-07.log";
    log.searchPattern = "server-*.log";
    log.realTime = 1;
    log.useNewest = 1;
    SetPublishedFile("server.log", log);
}

struct GalleryCase {
    const char* name;
    std::function<std::unique_ptr<QDialog>(const std::string& home)> make;
};

class DialogGallery : public DialogTest, public ::testing::WithParamInterface<GalleryCase> {};

TEST_P(DialogGallery, RendersWholeAndUncluttered) {
    FillSettings(m_home.Path());
    std::unique_ptr<QDialog> dialog = GetParam().make(m_home.Path());
    Photograph(dialog.get(), QString::fromUtf8(GetParam().name));
}

WebSitePropertyActions GalleryActions() {
    WebSitePropertyActions actions;
    actions.desktopShortcutExists = [] { return true; };
    actions.createDesktopShortcut = [] { return true; };
    actions.deleteDesktopShortcut = [] { return true; };
    actions.uninstall = [](QWidget*) {};
    actions.openGuestbook = [](QWidget*) {};
    return actions;
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, DialogGallery,
    ::testing::Values(
        GalleryCase{"WebSitePropertyDialog",
                    [](const std::string&) {
                        return std::make_unique<WebSitePropertyDialog>(nullptr, GalleryActions());
                    }},
        GalleryCase{"HomePageDialog",
                    [](const std::string& home) {
                        auto dialog = std::make_unique<HomePageDialog>(nullptr);
                        dialog->UseFile(QString::fromStdString(home + "/site/index.html"));
                        return dialog;
                    }},
        GalleryCase{"UsersPasswordsDialog",
                    [](const std::string&) {
                        auto dialog = std::make_unique<UsersPasswordsDialog>(nullptr);
                        dialog->findChild<QTableWidget*>(kUsersList)->selectRow(1);
                        return dialog;
                    }},
        GalleryCase{"UserPasswordDialog",
                    [](const std::string&) {
                        return std::make_unique<UserPasswordDialog>(nullptr, QStringLiteral("Bjorn"),
                                                                    QStringLiteral("trolltunga"));
                    }},
        GalleryCase{"ClientIpFilterDialog",
                    [](const std::string&) { return std::make_unique<ClientIpFilterDialog>(nullptr); }},
        GalleryCase{"IpAddressEditorDialog",
                    [](const std::string&) {
                        return std::make_unique<IpAddressEditorDialog>(nullptr, IpFields{192, 168, 1, 255});
                    }},
        GalleryCase{"AutoBlockerDialog",
                    [](const std::string&) { return std::make_unique<AutoBlockerDialog>(nullptr); }},
        GalleryCase{"EnterTextDialog",
                    [](const std::string&) {
                        auto dialog = std::make_unique<EnterTextDialog>(nullptr, 3);
                        dialog->findChild<QLineEdit*>(kEnterTextField)
                            ->setText(QStringLiteral("GET /Holiday%20Pictures/"));
                        return dialog;
                    }},
        GalleryCase{"FolderPropertyDialog",
                    [](const std::string&) {
                        return std::make_unique<FolderPropertyDialog>(
                            nullptr, QStringLiteral("Holiday Pictures"), DefaultFolderPropertyTools());
                    }},
        GalleryCase{"DynamicFilePropertyDialog",
                    [](const std::string&) {
                        return std::make_unique<DynamicFilePropertyDialog>(nullptr,
                                                                           QStringLiteral("server.log"));
                    }}),
    [](const ::testing::TestParamInfo<GalleryCase>& info) { return std::string(info.param.name); });

TEST_F(DialogTest, ThumbnailProgressIsPhotographedWhileTheToolRuns) {
    const std::string tool = m_home.WriteFile("busy-tool",
                                              "#!/bin/sh\n"
                                              "trap 'exit 130' TERM\n"
                                              "printf '\\r\\033[K117/300 pictures  42.0/s  %s' \"$1\" >&2\n"
                                              "i=0; while [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done\n");
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    ThumbnailRunDialog run(nullptr, QString::fromStdString(tool),
                           QString::fromStdString(m_home.Path() + "/Pictures/2026 Norway"), true);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&run, &poll] {
        if (run.Count().done != 117)
            return;
        poll.stop();
        Photograph(&run, QStringLiteral("ThumbnailRunDialog"));
        run.reject();
    });
    poll.start(20);
    ASSERT_TRUE(run.Run());
    EXPECT_EQ(run.Count().total, 300);
}

}  // namespace
}  // namespace sarvo::ui::test
