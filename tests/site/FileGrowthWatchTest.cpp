#include "site/FileGrowthWatch.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "support/TempFolder.h"

namespace sarvo {
namespace {

using test::TempFolder;
using Clock = std::chrono::steady_clock;
using Wake = FileGrowthWatch::Wake;

// A connected pair standing in for the client's connection: the watch waits on one end.
class SocketPair {
public:
    SocketPair() { ::socketpair(AF_UNIX, SOCK_STREAM, 0, m_ends); }
    ~SocketPair() {
        for (int end : m_ends) {
            if (end >= 0)
                ::close(end);
        }
    }
    int Server() const { return m_ends[0]; }
    void ClientSends(const std::string& bytes) {
        ASSERT_EQ(::write(m_ends[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

private:
    int m_ends[2] = {-1, -1};
};

void Append(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << text;
}

long ElapsedMs(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class FileGrowthWatchTest : public ::testing::Test {
protected:
    TempFolder m_folder;
    std::string m_path = m_folder.WriteFile("log.txt", "start\n");
    SocketPair m_peer;
};

TEST_F(FileGrowthWatchTest, QuietFileTimesOutWhateverThePeerSends) {
    FileGrowthWatch watch(m_path);
    ASSERT_TRUE(watch.IsWatching());
    m_peer.ClientSends("GET /more HTTP/1.1\r\n\r\n");
    const auto start = Clock::now();
    EXPECT_EQ(watch.Wait(m_peer.Server(), 200), Wake::TimedOut);
    EXPECT_GE(ElapsedMs(start), 190);
}

TEST_F(FileGrowthWatchTest, AppendWakesTheWaiterAtOnce) {
    FileGrowthWatch watch(m_path);
    std::thread writer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Append(m_path, "more\n");
    });
    const auto start = Clock::now();
    EXPECT_EQ(watch.Wait(m_peer.Server(), 5000), Wake::FileMayHaveChanged);
    EXPECT_LT(ElapsedMs(start), 1000);
    writer.join();
}

TEST_F(FileGrowthWatchTest, ChangeBeforeTheWaitIsNotMissed) {
    FileGrowthWatch watch(m_path);
    Append(m_path, "written between a read and the wait\n");
    // The reader thread signals asynchronously; the wait must see it however late it comes.
    EXPECT_EQ(watch.Wait(m_peer.Server(), 5000), Wake::FileMayHaveChanged);
    // One write raises more than one event (the write, then the close); once those have been taken,
    // the waits sleep again instead of returning at once for ever.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    watch.Wait(m_peer.Server(), 0);
    EXPECT_EQ(watch.Wait(m_peer.Server(), 100), Wake::TimedOut);
    // Truncation and removal wake too.
    ASSERT_EQ(::truncate(m_path.c_str(), 0), 0);
    EXPECT_EQ(watch.Wait(m_peer.Server(), 5000), Wake::FileMayHaveChanged);
    ASSERT_EQ(::unlink(m_path.c_str()), 0);
    EXPECT_EQ(watch.Wait(m_peer.Server(), 5000), Wake::FileMayHaveChanged);
}

TEST_F(FileGrowthWatchTest, TwoWatchesOfOneFileBothWakeAndOutliveEachOther) {
    auto first = std::make_unique<FileGrowthWatch>(m_path);
    FileGrowthWatch second(m_path);
    Append(m_path, "one\n");
    EXPECT_EQ(first->Wait(m_peer.Server(), 5000), Wake::FileMayHaveChanged);
    EXPECT_EQ(second.Wait(m_peer.Server(), 5000), Wake::FileMayHaveChanged);
    // The kernel gives both the same watch; the first one going must not take it from the second.
    first.reset();
    Append(m_path, "two\n");
    EXPECT_EQ(second.Wait(m_peer.Server(), 5000), Wake::FileMayHaveChanged);
}

TEST_F(FileGrowthWatchTest, ManyWatchesShareOneInstance) {
    // More than the default limit of 128 inotify instances per user.
    std::vector<std::unique_ptr<FileGrowthWatch>> watches;
    for (int i = 0; i < 300; ++i) {
        watches.push_back(std::make_unique<FileGrowthWatch>(m_folder.WriteFile("f" + std::to_string(i), "")));
        ASSERT_TRUE(watches.back()->IsWatching()) << i;
    }
    Append(m_folder.Child("f299"), "x");
    EXPECT_EQ(watches.back()->Wait(m_peer.Server(), 5000), Wake::FileMayHaveChanged);
    EXPECT_EQ(watches.front()->Wait(m_peer.Server(), 50), Wake::TimedOut);
}

TEST_F(FileGrowthWatchTest, MissingFileFallsBackToPolling) {
    FileGrowthWatch watch(m_folder.Child("missing"));
    EXPECT_FALSE(watch.IsWatching());
    const auto start = Clock::now();
    EXPECT_EQ(watch.Wait(m_peer.Server(), 5000), Wake::FileMayHaveChanged);
    EXPECT_LT(ElapsedMs(start), 1000);
}

}  // namespace
}  // namespace sarvo
