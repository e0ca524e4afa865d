#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "StreamClient.h"
#include "store/Registry.h"
#include "store/RegistryKeys.h"
#include "support/LoopbackServer.h"

// A request sees every setting that another process committed before the request's first byte, even
// though the server reads the store once per request. The writer is this binary run again with
// SARVO_WRITER_CHILD set: it takes round numbers on its input, stores each as the home page's title,
// and answers with the number once the write is committed.
namespace sarvo {
namespace {

using namespace std::chrono_literals;

constexpr char kChildVariable[] = "SARVO_WRITER_CHILD";
constexpr int kRounds = 1000;

constexpr char kFolderName[] = "shared";

std::string TitleOf(int round) {
    return "Round " + std::to_string(round);
}

bool IsVisibleIn(int round) {
    return round % 3 != 0;
}

int RunWriter() {
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
        const int round = std::atoi(line);
        // The store itself, not the typed accessors: this runs before static tables are built. The
        // folder's flag is a value the server keeps per thread for as long as its copy of the store.
        if (!WriteText(Hive::CurrentUser, kSettingsKey, "mainpagetitle", TitleOf(round)) ||
            !WriteNumber(Hive::CurrentUser, std::string(kFoldersKey) + "\\" + kFolderName, "Visible",
                         IsVisibleIn(round) ? 1 : 0))
            return 1;
        std::printf("%d\n", round);
        std::fflush(stdout);
    }
    return 0;
}

const bool kWriterDone = [] {
    if (std::getenv(kChildVariable))
        std::_Exit(RunWriter());
    return false;
}();

// The writer process with a pipe each way; it ends when its input closes.
class Writer {
public:
    Writer() {
        int toChild[2];
        int fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(toChild[0], STDIN_FILENO);
            ::dup2(fromChild[1], STDOUT_FILENO);
            ::setenv(kChildVariable, "1", 1);
            ::execl("/proc/self/exe", "site_server_tests", static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_input = ::fdopen(toChild[1], "w");
        m_output = ::fdopen(fromChild[0], "r");
    }
    ~Writer() {
        if (m_input)
            std::fclose(m_input);
        if (m_output)
            std::fclose(m_output);
        if (m_pid > 0)
            ::waitpid(m_pid, nullptr, 0);
    }

    bool Started() const { return m_input && m_output; }

    // True once the other process has committed the round's title.
    bool Write(int round) {
        std::fprintf(m_input, "%d\n", round);
        std::fflush(m_input);
        char line[64];
        return std::fgets(line, sizeof line, m_output) && std::atoi(line) == round;
    }

private:
    pid_t m_pid = -1;
    FILE* m_input = nullptr;
    FILE* m_output = nullptr;
};

std::string PageTitle(const std::string& response) {
    const size_t start = response.find("<TITLE>");
    const size_t end = response.find("</TITLE>");
    if (start == std::string::npos || end == std::string::npos || end < start)
        return "";
    return response.substr(start + 7, end - start - 7);
}

TEST(SettingsFreshnessTest, RequestSeesWhatAnotherProcessCommittedBeforeItsFirstByte) {
    test::LoopbackServer server;
    ASSERT_TRUE(server.Started());
    server.ShareFolder(kFolderName, "folder");
    Writer writer;
    ASSERT_TRUE(writer.Started());
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        // Every other round connects before the write and sends its request after it: the
        // connection is then already accepted and waiting when the other process commits.
        const bool connectFirst = round % 2 == 1;
        std::unique_ptr<test::StreamClient> early;
        if (connectFirst)
            early = std::make_unique<test::StreamClient>(server.Port(), "");
        ASSERT_TRUE(writer.Write(round));
        std::string response;
        if (connectFirst) {
            ASSERT_TRUE(early->Send(test::Get("/")));
            ASSERT_TRUE(early->WaitForClose(10s, response));
        } else {
            response = test::Exchange(server.Port(), test::Get("/")).raw;
        }
        ASSERT_EQ(PageTitle(response), TitleOf(round));
        ASSERT_EQ(response.find("<a href=\"/shared/\">") != std::string::npos, IsVisibleIn(round));
    }
}

}  // namespace
}  // namespace sarvo
