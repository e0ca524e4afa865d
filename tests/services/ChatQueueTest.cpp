#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <set>

#include "services/ChatQueue.h"
#include "services/Webchat.h"

namespace sarvo {
namespace {

// A join message whose socket is one end of a pair; the other end tells whether it was closed.
struct JoinWithPeer {
    ChatMessage message;
    int peer = -1;

    JoinWithPeer() {
        int ends[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        message.code = CHAT_JOIN;
        message.memberId = 1;
        message.socket = std::make_unique<TcpSocket>();
        message.socket->Attach(ends[0]);
        peer = ends[1];
    }
    ~JoinWithPeer() { ::close(peer); }

    bool PeerSeesClose() const {
        char byte;
        return ::recv(peer, &byte, 1, MSG_DONTWAIT) == 0;
    }
};

TEST(ChatQueue, MessagesLeftAtCloseAndPushesAfterItAreReleased) {
    ChatQueue queue;
    JoinWithPeer refusedBeforeOpen;
    EXPECT_FALSE(queue.Push(std::move(refusedBeforeOpen.message)));
    EXPECT_TRUE(refusedBeforeOpen.PeerSeesClose());

    queue.Open();
    JoinWithPeer queued;
    ChatMessage speech;
    speech.code = CHAT_SPEECH;
    speech.speech = "hello";
    EXPECT_TRUE(queue.Push(std::move(speech)));
    EXPECT_TRUE(queue.Push(std::move(queued.message)));
    std::optional<ChatMessage> first = queue.TryPop();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->speech, "hello");
    EXPECT_FALSE(queued.PeerSeesClose());

    queue.Close();
    EXPECT_TRUE(queued.PeerSeesClose());
    EXPECT_FALSE(queue.TryPop().has_value());
}

TEST(NewChatMemberId, IdsGivenInTheSameMillisecondDiffer) {
    std::set<uint32_t> ids;
    uint32_t last = 0;
    for (int round = 0; round < 1000; ++round) {
        const uint32_t id = NewChatMemberId();
        EXPECT_NE(id, 0u);
        EXPECT_GT(static_cast<int32_t>(id - last), 0) << "ids go forwards";
        ids.insert(id);
        last = id;
    }
    EXPECT_EQ(ids.size(), 1000u);
}

}  // namespace
}  // namespace sarvo
