#include "server/ClientActivity.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
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

TEST(ClientActivity, RecordFollowsTheConnectionAndIsResetOnReuse) {
    test::NotificationRecorder recorder(NotificationChannel::ClientsList);
    const SocketHandle socket = kFirstSocket;
    const FileTime before = GetSystemTimeAsFileTime();
    RecordConnected(socket);
    std::optional<ClientRecord> connected = CopyClientRecord(socket);
    ASSERT_TRUE(connected.has_value());
    EXPECT_EQ(connected->socket, socket);
    EXPECT_GE(connected->connectedAt, before);
    EXPECT_EQ(connected->closedAt.ticks, 0u);

    RecordRequest(socket, kActionUpload, "/share/");
    SendProgress progress;
    progress.Bind(socket);
    progress.Start(5000);
    progress.Add(1000);
    progress.Add(234);
    std::optional<ClientRecord> running = CopyClientRecord(socket);
    ASSERT_TRUE(running.has_value());
    EXPECT_EQ(running->action, kActionUpload);
    EXPECT_EQ(running->object, "/share/");
    EXPECT_EQ(running->total, 5000u);
    EXPECT_EQ(running->done, 1234u);

    RecordClosed(socket);
    std::optional<ClientRecord> closed = CopyClientRecord(socket);
    ASSERT_TRUE(closed.has_value());
    EXPECT_GE(closed->closedAt, closed->connectedAt);
    EXPECT_NE(closed->closedAt.ticks, 0u);
    EXPECT_EQ(Ids(recorder),
              (std::vector<uint32_t>{kClientInfoConnected, kClientInfoRequest, kClientInfoProgress,
                                     kClientInfoProgress, kClientInfoClosed}));
    for (const test::RecordedPost& post : recorder.Posts()) {
        EXPECT_EQ(post.argument, static_cast<uintptr_t>(socket));
    }

    // The same socket number again starts a fresh record.
    RecordConnected(socket);
    std::optional<ClientRecord> again = CopyClientRecord(socket);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->action, kActionNone);
    EXPECT_EQ(again->object, "");
    EXPECT_EQ(again->total, 0u);
    EXPECT_EQ(again->done, 0u);
    EXPECT_EQ(again->closedAt.ticks, 0u);
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
    for (SocketHandle socket = first; socket < first + 33; ++socket) {
        EXPECT_EQ(posts[socket - first].argument, static_cast<uintptr_t>(socket));
        EXPECT_TRUE(CopyClientRecord(socket).has_value());
        RecordClosed(socket);
    }
    // Closed records are free again: as many new connections fit without further growth.
    for (SocketHandle socket = first + 1000; socket < first + 1064; ++socket)
        RecordConnected(socket);
    EXPECT_EQ(ClientTableCapacity(), 64u);
    for (SocketHandle socket = first + 1000; socket < first + 1064; ++socket)
        RecordClosed(socket);
}

TEST(ClientActivity, ObjectIsDecodedAndCut) {
    const std::string longPath = "/" + std::string(300, 'p');
    const std::pair<std::string, std::string> cases[] = {
        {"/My%20Music/a%20b.mp3", "/My Music/a b.mp3"},
        {"/100%", "/100%"},
        {"/a+b", "/a+b"},
        {longPath, longPath.substr(0, 259)},
        {"/" + std::string(255, 'q') + "%20%20%20%20%20", "/" + std::string(255, 'q') + "   "},
        {"/short", "/short"},
    };
    const SocketHandle socket = kFirstSocket + 3;
    RecordConnected(socket);
    for (const auto& [object, expected] : cases) {
        SCOPED_TRACE(object);
        RecordRequest(socket, kActionDownload, object);
        std::optional<ClientRecord> record = CopyClientRecord(socket);
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(record->object, expected);
    }
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
    sockaddr_in address{};
    ASSERT_EQ(Bind(listener, htonl(INADDR_LOOPBACK), 0), 0);
    ASSERT_EQ(Listen(listener, 1), 0);
    ASSERT_EQ(GetSockName(listener, address), 0);
    int client = CreateTcpSocket();
    ASSERT_EQ(Connect(client, htonl(INADDR_LOOPBACK), ntohs(address.sin_port)), 0);
    int accepted = Accept(listener, nullptr);
    ASSERT_GE(accepted, 0);
    sockaddr_in clientSide{};
    ASSERT_EQ(GetSockName(client, clientSide), 0);

    RecordConnected(accepted);
    std::optional<ClientRecord> record = CopyClientRecord(accepted);
    RecordClosed(accepted);
    for (int socket : {accepted, client, listener})
        CloseSocket(socket);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->peer.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(record->peer.sin_port, clientSide.sin_port);
}

}  // namespace
}  // namespace sarvo
