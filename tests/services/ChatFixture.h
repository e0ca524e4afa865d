#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "server/LocalClient.h"
#include "services/ChatClient.h"
#include "services/Webchat.h"
#include "support/LoopbackServer.h"

namespace sarvo::test {

enum class Seat { Host, Guest };

// The server on a loopback port with the chat room open. Every client of a test runs on this
// computer and so is a host; a guest is one that joined while local clients were not recognised.
class ChatRoomFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started());
        ASSERT_TRUE(StartChatRoom(m_maxMembers));
    }

    void TearDown() override {
        StopChatRoom();
        WaitForChatRoom();
        SetLocalClientRule(LocalClientRule::Recognize);
    }

    std::unique_ptr<ChatClient> Join(Seat seat = Seat::Host) {
        if (seat == Seat::Guest)
            SetLocalClientRule(LocalClientRule::TreatAllAsRemote);
        auto client = std::make_unique<ChatClient>(m_server.Port(), NewChatMemberId());
        EXPECT_TRUE(client->Joined());
        SetLocalClientRule(LocalClientRule::Recognize);
        return client;
    }

    std::string Say(const ChatClient& from, const std::string& text, const std::string& to = "All") {
        return Speak(m_server.Port(), from.Id(), to, text);
    }

    unsigned m_maxMembers = kDefaultChatMembers;
    LoopbackServer m_server;
};

}  // namespace sarvo::test
