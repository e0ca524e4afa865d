// The guestbook, logbook, webchat and community dialogs filled with realistic data, photographed to
// screenshots/ of the build tree.
#include <QItemSelectionModel>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "DialogTestSupport.h"
#include "GalleryPhotograph.h"
#include "server/Logbook.h"
#include "store/SiteSettings.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/GuestbookDialog.h"
#include "ui/dialogs/LogbookViewerDialog.h"
#include "ui/dialogs/ReportList.h"

namespace sarvo::ui::test {
namespace {

void WriteGuestbook(const sarvo::test::TempFolder& home) {
    const struct {
        const char* name;
        const char* text;
        int minutesAgo;
    } messages[] = {
        {"85.214.132.117.txt", "What a view from Preikestolen! We were there in 2019, brings back memories.",
         12},
        {"10.0.0.23.txt", "Hi Anna, the midnight sun pictures are amazing. Can you send me the big one?", 95},
        {"85.214.132.117(2).txt", "PS: the video of the ferry does not play in my browser.", 11},
        {"192.0.2.44.txt", "Greetings from Bergen! Next time come and visit us. -- Kari & Nils", 2900},
        {"203.0.113.9.txt", "Nice site. Which camera did you use for the northern lights?", 6000},
    };
    for (const auto& m : messages) {
        const std::string path = home.WriteFile(std::string("SarvoGuestbook/") + m.name, m.text);
        std::filesystem::last_write_time(
            path, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(m.minutesAgo));
    }
}

void WriteLogbook() {
    const std::string separator = std::string(kLogSeparatorLength, '=') + "\r\n";
    std::ofstream out(LogbookPath(), std::ios::binary | std::ios::trunc);
    const char* paths[] = {"/",
                           "/Holiday%20Pictures/",
                           "/Holiday%20Pictures/fjord-night.jpg",
                           "/Holiday%20Pictures/?thumbnail",
                           "/Guestbook/",
                           "/WebChat/"};
    for (int i = 0; i < 40; ++i) {
        out << "Time: 2026-12-07 09:" << 10 + i / 4 << ":" << 10 + i << "\r\nAddr: 85.214.132." << 100 + i % 7
            << ":" << 50000 + i * 13 << "\r\nGET " << paths[i % 6]
            << " HTTP/1.1\r\nHost: anna.example.net:8080\r\nUser-Agent: Mozilla/5.0 (X11; Linux x86_64; "
               "rv:128.0) Gecko/20100101 Firefox/128.0\r\nAccept: text/html,*/*\r\n";
        if (i % 9 == 8)
            out << "\r\n*** Disconnected by client.\r\n";
        out << separator;
    }
}

struct GalleryCase {
    const char* name;
    std::function<std::unique_ptr<QDialog>(const sarvo::test::TempFolder& home)> make;
};

class ServiceDialogGallery : public DialogTest, public ::testing::WithParamInterface<GalleryCase> {};

TEST_P(ServiceDialogGallery, RendersWholeAndUncluttered) {
    std::unique_ptr<QDialog> dialog = GetParam().make(m_home);
    Photograph(dialog.get(), QString::fromUtf8(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, ServiceDialogGallery,
    ::testing::Values(GalleryCase{"GuestbookDialog",
                                  [](const sarvo::test::TempFolder& home) -> std::unique_ptr<QDialog> {
                                      WriteGuestbook(home);
                                      SetGuestbookEnabled(true);
                                      SetGuestbookAlarmOn(true);
                                      auto dialog =
                                          std::make_unique<GuestbookDialog>(nullptr, ShellActions{});
                                      dialog->findChild<ReportList*>(kReceivedMessages)->SelectOnly(1);
                                      return dialog;
                                  }},
                      GalleryCase{"LogbookViewerDialog",
                                  [](const sarvo::test::TempFolder&) -> std::unique_ptr<QDialog> {
                                      WriteLogbook();
                                      auto dialog = std::make_unique<LogbookViewerDialog>(nullptr);
                                      LogbookViewerDialog* viewer = dialog.get();
                                      viewer->Refresh();
                                      EXPECT_TRUE(WaitUntil([viewer] { return !viewer->IsLoading(); }));
                                      return dialog;
                                  }}),
    [](const ::testing::TestParamInfo<GalleryCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sarvo::ui::test
