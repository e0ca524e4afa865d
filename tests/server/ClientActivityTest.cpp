#include "server/ClientActivity.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/FileTime.h"
#include "platform/Socket.h"
#include "support/NotificationRecorder.h"

namespace sarvo {
namespace {

// Socket values far above any descriptor the test process opens, so they stand for connections without
// being any. Every case closes what it records, so the table never holds more than one case's records.
constexpr SocketHandle kFirstSocket = 900000;

std::vector<uint32_t> Ids(const test::NotificationRecorder& recorder) {
    std::vector<uint32_t> ids;
    for (const test::RecordedPost& post : recorder.Posts())
        ids.push_back(post.commandId);
    return ids;
}

TEST(ClientActivity, PostsFollowTheCallingOrder) {
    test::NotificationRecorder recorder(NotificationChannel::ClientsList);
    const SocketHandle socket = kFirstSocket;
    RecordConnected(socket);
    RecordRequest(socket, kActionDownload, "/share/a.txt");
    UpdateProgress(socket, 1000, 400);
    UpdateProgress(socket, 1000, 1000);
    RecordClosed(socket);

    EXPECT_EQ(Ids(recorder),
              (std::vector<uint32_t>{kClientInfoConnected, kClientInfoRequest, kClientInfoProgress,
                                     kClientInfoProgress, kClientInfoClosed}));
    for (const test::RecordedPost& post : recorder.Posts())
        EXPECT_EQ(post.argument, static_cast<uintptr_t>(socket));
}

TEST(ClientActivity, RecordHoldsWhatWasRecorded) {
    const SocketHandle socket = kFirstSocket + 1;
    const FileTime before = GetSystemTimeAsFileTime();
    RecordConnected(socket);
    std::optional<ClientRecord> connected = CopyClientRecord(socket);
    ASSERT_TRUE(connected.has_value());
    EXPECT_EQ(connected->socket, socket);
    EXPECT_EQ(connected->action, kActionNone);
    EXPECT_EQ(connected->object, "");
    EXPECT_GE(connected->connectedAt, before);
    EXPECT_LE(connected->connectedAt, GetSystemTimeAsFileTime());
    EXPECT_EQ(connected->closedAt.ticks, 0u);
    EXPECT_EQ(connected->peer.sin_addr.s_addr, 0u);

    RecordRequest(socket, kActionUpload, "/share/");
    UpdateProgress(socket, 5000, 1234);
    std::optional<ClientRecord> running = CopyClientRecord(socket);
    ASSERT_TRUE(running.has_value());
    EXPECT_EQ(running->action, kActionUpload);
    EXPECT_EQ(running->object, "/share/");
    EXPECT_EQ(running->total, 5000u);
    EXPECT_EQ(running->done, 1234u);
    EXPECT_EQ(running->connectedAt, connected->connectedAt);

    RecordClosed(socket);
    std::optional<ClientRecord> closed = CopyClientRecord(socket);
    ASSERT_TRUE(closed.has_value());
    EXPECT_GE(closed->closedAt, closed->connectedAt);
    EXPECT_NE(closed->closedAt.ticks, 0u);
    EXPECT_EQ(closed->object, "/share/");
}

TEST(ClientActivity, SameSocketAgainResetsTheRecord) {
    const SocketHandle socket = kFirstSocket + 2;
    RecordConnected(socket);
    RecordRequest(socket, kActionFailed, "/nothing");
    UpdateProgress(socket, 10, 10);
    RecordClosed(socket);
    std::optional<ClientRecord> first = CopyClientRecord(socket);
    ASSERT_TRUE(first.has_value());

    RecordConnected(socket);
    std::optional<ClientRecord> second = CopyClientRecord(socket);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->action, kActionNone);
    EXPECT_EQ(second->object, "");
    EXPECT_EQ(second->total, 0u);
    EXPECT_EQ(second->done, 0u);
    EXPECT_EQ(second->closedAt.ticks, 0u);
    EXPECT_GE(second->connectedAt, first->connectedAt);
    RecordClosed(socket);
}

TEST(ClientActivity, ThirtyThreeOpenConnectionsGrowTheTableTo64) {
    // The table is process-wide and never shrinks; the cases before this one leave no record open.
    EXPECT_EQ(ClientTableCapacity(), 32u);
    test::NotificationRecorder recorder(NotificationChannel::ClientsList);
    const SocketHandle first = kFirstSocket + 100;
    for (SocketHandle socket = first; socket < first + 33; ++socket)
        RecordConnected(socket);
    EXPECT_EQ(ClientTableCapacity(), 64u);

    std::vector<test::RecordedPost> posts = recorder.Posts();
    ASSERT_EQ(posts.size(), 33u);
    for (size_t index = 0; index < posts.size(); ++index) {
        EXPECT_EQ(posts[index].commandId, kClientInfoConnected);
        EXPECT_EQ(posts[index].argument, static_cast<uintptr_t>(first + static_cast<SocketHandle>(index)));
        EXPECT_TRUE(CopyClientRecord(first + static_cast<SocketHandle>(index)).has_value());
    }
    for (SocketHandle socket = first; socket < first + 33; ++socket)
        RecordClosed(socket);

    // Closed records are free again: as many new connections fit without further growth.
    for (SocketHandle socket = first + 1000; socket < first + 1064; ++socket)
        RecordConnected(socket);
    EXPECT_EQ(ClientTableCapacity(), 64u);
    for (SocketHandle socket = first + 1000; socket < first + 1064; ++socket)
        RecordClosed(socket);
}

TEST(ClientActivity, ObjectIsDecodedAndCut) {
    const std::string longPath = "/" + std::string(300, 'p');
    struct Case {
        std::string object;
        std::string expected;
    } cases[] = {
        {"/My%20Music/a%20b.mp3", "/My Music/a b.mp3"},
        {"/%41%42", "/AB"},
        {"/100%", "/100%"},
        {"/a+b", "/a+b"},
        {"", ""},
        {longPath, longPath.substr(0, 259)},
        {"/" + std::string(255, 'q') + "%20%20%20%20%20", "/" + std::string(255, 'q') + "   "},
    };
    const SocketHandle socket = kFirstSocket + 3;
    RecordConnected(socket);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.object);
        RecordRequest(socket, kActionDownload, c.object);
        std::optional<ClientRecord> record = CopyClientRecord(socket);
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(record->object, c.expected);
    }
    RecordRequest(socket, kActionDownload, "/short");
    EXPECT_EQ(CopyClientRecord(socket)->object, "/short");
    RecordClosed(socket);
}

TEST(ClientActivity, UnknownSocketIsNeitherChangedNorReported) {
    test::NotificationRecorder recorder(NotificationChannel::ClientsList);
    const SocketHandle socket = kFirstSocket + 4;
    RecordRequest(socket, kActionDownload, "/x");
    UpdateProgress(socket, 1, 1);
    RecordClosed(socket);
    EXPECT_FALSE(CopyClientRecord(socket).has_value());
    // Slots never used hold socket 0 too; they must not answer for it.
    RecordClosed(0);
    EXPECT_FALSE(CopyClientRecord(0).has_value());
    EXPECT_TRUE(recorder.Posts().empty());
}

TEST(ClientActivity, PeerAddressIsReadFromTheConnection) {
    int listener = CreateTcpSocket();
    ASSERT_GE(listener, 0);
    ASSERT_EQ(Bind(listener, htonl(INADDR_LOOPBACK), 0), 0);
    ASSERT_EQ(Listen(listener, 1), 0);
    sockaddr_in address{};
    ASSERT_EQ(GetSockName(listener, address), 0);
    int client = CreateTcpSocket();
    ASSERT_GE(client, 0);
    ASSERT_EQ(Connect(client, htonl(INADDR_LOOPBACK), ntohs(address.sin_port)), 0);
    int accepted = Accept(listener, nullptr);
    ASSERT_GE(accepted, 0);
    sockaddr_in clientSide{};
    ASSERT_EQ(GetSockName(client, clientSide), 0);

    RecordConnected(accepted);
    std::optional<ClientRecord> record = CopyClientRecord(accepted);
    RecordClosed(accepted);
    CloseSocket(accepted);
    CloseSocket(client);
    CloseSocket(listener);

    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->peer.sin_family, AF_INET);
    EXPECT_EQ(record->peer.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(record->peer.sin_port, clientSide.sin_port);
}

TEST(ClientActivity, SendProgressCountsAndReports) {
    const SocketHandle socket = kFirstSocket + 5;
    RecordConnected(socket);
    test::NotificationRecorder recorder(NotificationChannel::ClientsList);
    SendProgress progress;
    progress.Bind(socket);
    progress.Start(100);
    EXPECT_TRUE(recorder.Posts().empty());
    progress.Add(40);
    std::optional<ClientRecord> partway = CopyClientRecord(socket);
    progress.Add(60);
    std::optional<ClientRecord> done = CopyClientRecord(socket);
    RecordClosed(socket);

    ASSERT_TRUE(partway.has_value());
    ASSERT_TRUE(done.has_value());
    EXPECT_EQ(partway->total, 100u);
    EXPECT_EQ(partway->done, 40u);
    EXPECT_EQ(done->done, 100u);
    EXPECT_EQ(progress.Done(), 100u);
    EXPECT_EQ(Ids(recorder),
              (std::vector<uint32_t>{kClientInfoProgress, kClientInfoProgress, kClientInfoClosed}));

    // Starting again begins from nothing done.
    progress.Start(7);
    EXPECT_EQ(progress.Total(), 7u);
    EXPECT_EQ(progress.Done(), 0u);
    progress.Bind(socket);
    EXPECT_EQ(progress.Total(), 0u);
}

TEST(ClientActivity, ThreadsKeepTheirOwnRecords) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 200;
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
        threads.emplace_back([thread] {
            const SocketHandle socket = kFirstSocket + 500 + thread;
            for (int round = 0; round < kRounds; ++round) {
                RecordConnected(socket);
                RecordRequest(socket, kActionDownload, "/t" + std::to_string(thread));
                UpdateProgress(socket, static_cast<uint64_t>(thread), static_cast<uint64_t>(round));
                if (round + 1 < kRounds)
                    RecordClosed(socket);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int thread = 0; thread < kThreads; ++thread) {
        SCOPED_TRACE(thread);
        const SocketHandle socket = kFirstSocket + 500 + thread;
        std::optional<ClientRecord> record = CopyClientRecord(socket);
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(record->object, "/t" + std::to_string(thread));
        EXPECT_EQ(record->total, static_cast<uint64_t>(thread));
        EXPECT_EQ(record->done, static_cast<uint64_t>(kRounds - 1));
        EXPECT_EQ(record->closedAt.ticks, 0u);
        RecordClosed(socket);
    }
}

}  // namespace
}  // namespace sarvo
