#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>

#include <memory>
#include <vector>

#include "server/AccessControl.h"
#include "server/HttpServer.h"
#include "store/SiteSettings.h"
#include "support/LoopbackServer.h"
#include "ui/ClientsListView.h"
#include "ui/Commands.h"
#include "ui/UiTexts.h"
#include "ui/WindowFixture.h"

namespace sarvo::ui {
namespace {

using test::WaitFor;

// A raw connection that sends nothing until asked, so that it stays open in the list.
class HeldConnection {
public:
    explicit HeldConnection(uint16_t port) : m_socket(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~HeldConnection() { ::close(m_socket); }

    bool Connected() const { return m_connected; }
    void Send(const std::string& bytes) {
        [[maybe_unused]] ssize_t sent = ::send(m_socket, bytes.data(), bytes.size(), 0);
    }

private:
    int m_socket;
    bool m_connected = false;
};

class ClientsPanelTest : public ::testing::Test {
protected:
    ClientsPanelTest() : m_events(m_view.Model()) {}

    // Waits until every connection thread has ended and its events are shown.
    bool Settle() {
        if (!m_server.WaitForIdle())
            return false;
        m_view.Model().ApplyPending();
        return true;
    }

    void SelectTopRow() {
        m_view.selectionModel()->setCurrentIndex(
            m_view.model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    bool ItemEnabled(const char* text) {
        std::unique_ptr<QMenu> menu = m_view.CreateContextMenu();
        for (QAction* action : menu->actions()) {
            if (action->text() == QLatin1String(text))
                return action->isEnabled();
        }
        ADD_FAILURE() << "no menu item " << text;
        return false;
    }

    test::LoopbackServer m_server;
    ClientsListView m_view;
    ClientsNotificationTarget m_events;
};

TEST_F(ClientsPanelTest, ElevenConnectionsInTurnKeepOnlyTheNewestClosedRows) {
    ASSERT_TRUE(m_server.Started());
    for (int i = 1; i <= 11; ++i) {
        test::Exchange(m_server.Port(), "GET /visit" + std::to_string(i) + " HTTP/1.1\r\nHost: x\r\n\r\n");
        ASSERT_TRUE(m_server.WaitForIdle());
    }
    ASSERT_TRUE(Settle());
    // Before each event the bottom closed row goes while ten rows are shown, so once the list is full
    // each further connection's request event makes room too: nine rows remain, the newest on top.
    ASSERT_EQ(m_view.Model().rowCount(), kClientRowLimit - 1);
    EXPECT_EQ(m_view.Model().Row(0).object, QStringLiteral("/visit11"));
    EXPECT_EQ(m_view.Model().Row(kClientRowLimit - 2).object, QStringLiteral("/visit3"));
    for (int row = 0; row < m_view.Model().rowCount(); ++row) {
        EXPECT_EQ(m_view.Model().Row(row).action, QString::fromLatin1(kTextActionClosed));
        EXPECT_EQ(m_view.Model().Row(row).address, QStringLiteral("127.0.0.1"));
    }
}

TEST_F(ClientsPanelTest, TwelveOpenConnectionsGiveTwelveRows) {
    std::vector<std::unique_ptr<HeldConnection>> held;
    for (int i = 0; i < 12; ++i) {
        held.push_back(std::make_unique<HeldConnection>(m_server.Port()));
        ASSERT_TRUE(held.back()->Connected());
    }
    ASSERT_TRUE(WaitFor([&] {
        m_view.Model().ApplyPending();
        return m_view.Model().rowCount() == 12;
    }));
    for (int row = 0; row < 12; ++row)
        EXPECT_EQ(m_view.Model().Row(row).action, QString::fromLatin1(kTextActionConnect));

    // Once they close, the closed rows are pruned again before each further event.
    held.clear();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(m_view.Model().rowCount(), kClientRowLimit - 1);
}

TEST_F(ClientsPanelTest, EventsAfterClearListChangeNothing) {
    HeldConnection connection(m_server.Port());
    ASSERT_TRUE(WaitFor([&] {
        m_view.Model().ApplyPending();
        return m_view.Model().rowCount() == 1;
    }));
    m_view.RunCommand(CMD_CLEAR_LIST);
    ASSERT_EQ(m_view.Model().rowCount(), 0);

    connection.Send("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(Settle());
    EXPECT_EQ(m_view.Model().rowCount(), 0);
}

TEST_F(ClientsPanelTest, ProgressShowsDoneAndTotalWithSeparators) {
    m_server.ShareFolder("Files", "files");
    m_server.Home().WriteFile("files/big.bin", std::string(12345, 'x'));
    test::Exchange(m_server.Port(), "GET /Files/big.bin HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(Settle());
    ASSERT_GE(m_view.Model().rowCount(), 1);
    EXPECT_EQ(m_view.Model().Row(0).action, QString::fromLatin1(kTextActionClosed));
    EXPECT_EQ(m_view.Model().Row(0).object, QStringLiteral("/Files/big.bin"));
    const QString progress = m_view.Model().Row(0).progress;
    EXPECT_EQ(progress.section('/', 0, 0), progress.section('/', 1, 1)) << qPrintable(progress);
    EXPECT_TRUE(progress.startsWith(QStringLiteral("12,"))) << qPrintable(progress);
}

TEST_F(ClientsPanelTest, SelectionStaysOnItsRowThroughABurst) {
    test::Exchange(m_server.Port(), "GET /first HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(Settle());
    SelectTopRow();
    for (const char* path : {"/second", "/third"})
        test::Exchange(m_server.Port(), std::string("GET ") + path + " HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(Settle());
    ASSERT_EQ(m_view.Model().rowCount(), 3);
    const QModelIndexList selected = m_view.selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(m_view.Model().Row(selected.front().row()).object, QStringLiteral("/first"));
}

TEST_F(ClientsPanelTest, AddToBlockListOnlyForAForbiddenListAndOnce) {
    test::Exchange(m_server.Port(), "GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(Settle());
    struct Case {
        uint32_t filterType;
        bool selected;
        bool enabled;
    };
    for (const Case& each : {Case{kIpFilterOff, true, false}, Case{kIpFilterAllowedOnly, true, false},
                             Case{kIpFilterForbidden, false, false}, Case{kIpFilterForbidden, true, true}}) {
        SCOPED_TRACE(testing::Message() << "filter " << each.filterType << " selected " << each.selected);
        WriteIpFilterType(each.filterType);
        m_view.clearSelection();
        if (each.selected)
            SelectTopRow();
        EXPECT_EQ(ItemEnabled(kMenuAddToBlockList), each.enabled);
        EXPECT_EQ(ItemEnabled(kMenuCopyIp), each.selected);
        EXPECT_TRUE(ItemEnabled(kMenuClearList));
    }

    m_view.RunCommand(CMD_ADD_TO_BLOCK_LIST);
    m_view.RunCommand(CMD_ADD_TO_BLOCK_LIST);
    EXPECT_EQ(ReadIpFilterList(), (std::vector<uint8_t>{127, 0, 0, 1}));

    m_view.RunCommand(CMD_COPY_IP);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("127.0.0.1"));
    m_view.RunCommand(CMD_CLEAR_LIST);
    EXPECT_FALSE(ItemEnabled(kMenuClearList));
}

}  // namespace
}  // namespace sarvo::ui
