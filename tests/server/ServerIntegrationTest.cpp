#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "platform/Socket.h"
#include "platform/WinsockError.h"
#include "server/ClientActivity.h"
#include "server/HttpServer.h"
#include "server/LocalClient.h"
#include "server/Logbook.h"
#include "server/RequestHandlers.h"
#include "server/ServerIdentity.h"
#include "store/SiteSettings.h"
#include "store/Users.h"
#include "support/LoopbackServer.h"

namespace sarvo {
namespace {

using test::Exchange;
using test::ExchangeInPieces;
using test::Get;
using test::LoopbackServer;
using test::WireResponse;
using ::testing::ElementsAre;

std::string Pattern(size_t size) {
    std::string text(size, '\0');
    for (size_t index = 0; index < size; ++index)
        text[index] = static_cast<char>('a' + index % 26);
    return text;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started());
        m_folder = m_server.ShareFolder("share", "shared");
        m_content = Pattern(1000);
        m_server.Home().WriteFile("shared/a.txt", m_content);
        m_server.Home().WriteFile("secret.txt", "top secret");
    }

    void TearDown() override { SetLocalClientRule(LocalClientRule::Recognize); }

    WireResponse Request(const std::string& request) { return Exchange(m_server.Port(), request); }

    LoopbackServer m_server;
    std::string m_folder;
    std::string m_content;
};

TEST_F(ServerTest, FileIsSentWithHeadersInTheirOrder) {
    WireResponse response = Request(Get("/share/a.txt"));
    EXPECT_EQ(response.statusLine, "HTTP/1.1 200 OK");
    EXPECT_THAT(response.HeaderNames(),
                ElementsAre("Date", "Server", "Last-Modified", "ETag", "Accept-Ranges", "Connection",
                            "Content-Type", "Content-Length"));
    EXPECT_EQ(response.Header("Server"), ServerIdentification());
    EXPECT_EQ(response.Header("Connection"), "close");
    EXPECT_EQ(response.Header("Content-Type"), "text/plain");
    EXPECT_EQ(response.Header("Content-Length"), "1000");
    EXPECT_TRUE(std::regex_match(response.Header("ETag"), std::regex("\"3e80-[0-9a-f]+-[0-9a-f]+\"")));
    EXPECT_TRUE(
        std::regex_match(response.Header("Date"),
                         std::regex("[A-Z][a-z]{2}, \\d{2} [A-Z][a-z]{2} \\d{4} \\d{2}:\\d{2}:\\d{2} GMT")));
    EXPECT_EQ(response.body, m_content);
}

TEST_F(ServerTest, RangesAndValidators) {
    struct Case {
        const char* range;
        const char* status;
        const char* contentRange;
        size_t first;
        size_t length;
    } cases[] = {
        {"bytes=0-99", "HTTP/1.1 206 Partial Content", "bytes 0-99/1000", 0, 100},
        {"bytes=500-", "HTTP/1.1 206 Partial Content", "bytes 500-999/1000", 500, 500},
        {"bytes=-100", "HTTP/1.1 206 Partial Content", "bytes 900-999/1000", 900, 100},
        {"bytes=0-1000", "HTTP/1.1 200 OK", "", 0, 1000},
        {"bytes=1000-", "HTTP/1.1 200 OK", "", 0, 1000},
        {"bytes=0-10,20-30", "HTTP/1.1 200 OK", "", 0, 1000},
        {"items=0-5", "HTTP/1.1 200 OK", "", 0, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.range);
        WireResponse response = Request(Get("/share/a.txt", std::string("Range: ") + c.range + "\r\n"));
        EXPECT_EQ(response.statusLine, c.status);
        EXPECT_EQ(response.Header("Content-Range"), c.contentRange);
        EXPECT_EQ(response.Header("Content-Length"), std::to_string(c.length));
        EXPECT_EQ(response.body, m_content.substr(c.first, c.length));
    }

    WireResponse full = Request(Get("/share/a.txt"));
    const std::string tag = full.Header("ETag");
    WireResponse notModified =
        Request(Get("/share/a.txt", "If-None-Match: " + tag + "\r\nRange: bytes=0-9\r\n"));
    EXPECT_EQ(notModified.statusLine, "HTTP/1.1 304 Not Modified");
    EXPECT_EQ(notModified.Header("Content-Length"), "0");
    EXPECT_TRUE(notModified.body.empty());

    WireResponse since =
        Request(Get("/share/a.txt", "If-Modified-Since: " + full.Header("Last-Modified") + "\r\n"));
    EXPECT_EQ(since.statusLine, "HTTP/1.1 304 Not Modified");

    WireResponse currentTag = Request(Get("/share/a.txt", "If-Range: " + tag + "\r\nRange: bytes=0-9\r\n"));
    EXPECT_EQ(currentTag.statusLine, "HTTP/1.1 206 Partial Content");
    WireResponse oldTag = Request(Get("/share/a.txt", "If-Range: \"1-2-3\"\r\nRange: bytes=0-9\r\n"));
    EXPECT_EQ(oldTag.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(oldTag.body.size(), 1000u);
}

TEST_F(ServerTest, HeadSendsTheHeaderOfTheGetWithoutABody) {
    WireResponse get = Request(Get("/share/a.txt"));
    WireResponse head = Request("HEAD /share/a.txt HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(head.statusLine, get.statusLine);
    EXPECT_EQ(head.HeaderNames(), get.HeaderNames());
    EXPECT_EQ(head.Header("Content-Length"), "1000");
    EXPECT_TRUE(head.body.empty());
}

TEST_F(ServerTest, RefusalsCarryTheirStatusAndTheErrorPage) {
    WireResponse missing = Request(Get("/share/nothing.txt"));
    EXPECT_EQ(missing.statusLine, "HTTP/1.1 404 Not Found");
    EXPECT_NE(missing.body.find("Error 404 (Not Found)"), std::string::npos);
    EXPECT_NE(missing.body.find("GET /share/nothing.txt HTTP/1.1<br>\r\n"), std::string::npos);
    EXPECT_EQ(missing.Header("Content-Length"), std::to_string(missing.body.size()));

    SetUseAutoBlockList(false);
    WireResponse deleted = Request("DELETE /share/a.txt HTTP/1.1\r\n\r\n");
    EXPECT_EQ(deleted.statusLine, "HTTP/1.1 405");
    EXPECT_EQ(Request("DELETE /share/none.txt HTTP/1.1\r\n\r\n").statusLine, "HTTP/1.1 404 Not Found");
    EXPECT_EQ(Request("PROPFIND /share/a.txt HTTP/1.1\r\n\r\n").statusLine, "HTTP/1.1 400 Bad Request");
    EXPECT_EQ(Request("POST /share/a.txt HTTP/1.1\r\nContent-Length: 0\r\n\r\n").statusLine,
              "HTTP/1.1 400 Bad Request");
    EXPECT_EQ(Request("POST /share HTTP/1.1\r\nContent-Length: 0\r\n\r\n").statusLine, "HTTP/1.1 405");
    EXPECT_EQ(Request(Get("/share?zipdld")).statusLine, "HTTP/1.1 405");
    // The visitor services register their pages themselves; a route whose handler is not registered
    // ends here.
    const RequestHandler communityPage = GetRequestHandler(Handler::CommunityPage);
    SetRequestHandler(Handler::CommunityPage, nullptr);
    EXPECT_EQ(Request(Get("/WebCommunity")).statusLine, "HTTP/1.1 404 Not Found");
    SetRequestHandler(Handler::CommunityPage, communityPage);
}

TEST_F(ServerTest, EchoPageShowsTheRequest) {
    WireResponse echo = Request(Get("/share/a.txt??", "X-Test: 1\r\n"));
    EXPECT_EQ(echo.statusLine, "HTTP/1.1 200 OK");
    EXPECT_NE(echo.body.find("Request Echo</h3>"), std::string::npos);
    EXPECT_NE(echo.body.find("GET /share/a.txt?? HTTP/1.1<br>\r\nHost: 127.0.0.1<br>\r\nX-Test: 1<br>\r\n"),
              std::string::npos);
}

TEST_F(ServerTest, PasswordsGuardEveryPathThatExists) {
    SetUsePasswords(true);
    SetUser("ann", "Secret");
    WireResponse challenge = Request(Get("/share/a.txt"));
    EXPECT_EQ(challenge.statusLine, "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(challenge.Header("WWW-Authenticate"), "Basic realm=\"Sarvo\"");
    EXPECT_EQ(challenge.Header("Content-Length"), "0");
    EXPECT_TRUE(challenge.body.empty());

    // "ann:Secret" and "ann:secret"
    EXPECT_EQ(Request(Get("/share/a.txt", "Authorization: Basic YW5uOlNlY3JldA==\r\n")).statusLine,
              "HTTP/1.1 200 OK");
    EXPECT_EQ(Request(Get("/share/a.txt", "Authorization: Basic YW5uOnNlY3JldA==\r\n")).statusLine,
              "HTTP/1.1 401 Unauthorized");
    EXPECT_EQ(Request(Get("/share/none.txt")).statusLine, "HTTP/1.1 404 Not Found");
}

TEST_F(ServerTest, AutoBlockTriggersCloseWithoutAnswerAndRefuseTheNextConnection) {
    SetLocalClientRule(LocalClientRule::TreatAllAsRemote);
    // A whole header with a high byte is parsed normally.
    EXPECT_EQ(Request(Get("/share/\xE9.txt")).statusLine, "HTTP/1.1 404 Not Found");
    EXPECT_TRUE(ReadAutoBlockList().empty());
    struct Case {
        const char* description;
        std::vector<std::string> pieces;
    } cases[] = {
        {"split header with 0xE9", {"GET /share/a\xE9", ".txt HTTP/1.1\r\n\r\n"}},
        {"over-long header", {std::string(2100, 'a')}},
        {"unknown method", {"PROPFIND /share/a.txt HTTP/1.1\r\n\r\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        WriteAutoBlockList({});
        WireResponse refused = ExchangeInPieces(m_server.Port(), c.pieces);
        EXPECT_FALSE(refused.received);
        EXPECT_EQ(ReadAutoBlockList(), (std::vector<uint8_t>{127, 0, 0, 1}));
        EXPECT_FALSE(Request(Get("/share/a.txt")).received);
    }
    SetUseAutoBlockList(false);
    EXPECT_EQ(Request(Get("/share/a.txt")).statusLine, "HTTP/1.1 200 OK");
}

TEST_F(ServerTest, IpFilterPatterns) {
    SetLocalClientRule(LocalClientRule::TreatAllAsRemote);
    struct Case {
        uint32_t type;
        std::vector<uint8_t> list;
        bool admitted;
    } cases[] = {
        {2, {127, 0, 255, 255}, false},
        {2, {10, 0, 0, 255}, true},
        {1, {10, 0, 0, 255}, false},
        {1, {127, 255, 255, 1}, true},
        {1, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " list size " << c.list.size());
        WriteIpFilterType(c.type);
        WriteIpFilterList(c.list);
        EXPECT_EQ(Request(Get("/share/a.txt")).received, c.admitted);
    }
    SetLocalClientRule(LocalClientRule::Recognize);
    WriteIpFilterType(2);
    WriteIpFilterList({127, 0, 0, 1});
    EXPECT_TRUE(Request(Get("/share/a.txt")).received);
}

TEST_F(ServerTest, LogbookRecordsRequestsAndAutoBlocks) {
    SetLogEnabled(true);
    Request(Get("/share/a.txt"));
    SetLocalClientRule(LocalClientRule::TreatAllAsRemote);
    Request("PROPFIND /x HTTP/1.1\r\n\r\n");
    ASSERT_TRUE(m_server.WaitForIdle());
    std::string log = ReadWholeFile(LogbookPath());
    const std::string separator(60, '=');
    std::regex record(
        "Time: \\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\r\nAddr: 127\\.0\\.0\\.1:\\d+\r\n"
        "GET /share/a\\.txt HTTP/1\\.1\r\nHost: 127\\.0\\.0\\.1\r\n" +
        separator +
        "\r\n"
        "Time: [^\r]+\r\nAddr: [^\r]+\r\nPROPFIND /x HTTP/1\\.1\r\n\r\n\\*\\*\\* Auto Block Unknown "
        "Request\\.\r\n" +
        separator + "\r\n");
    EXPECT_TRUE(std::regex_match(log, record)) << log;
}

TEST_F(ServerTest, ActivityEventsArriveInOrderForEachConnection) {
    test::NotificationRecorder clients(NotificationChannel::ClientsList);
    Request(Get("/share/a%2Etxt"));
    ASSERT_TRUE(m_server.WaitForIdle());
    std::vector<uint32_t> ids;
    for (const test::RecordedPost& post : clients.Posts())
        ids.push_back(post.commandId);
    ASSERT_GE(ids.size(), 4u);
    EXPECT_EQ(ids.front(), kClientInfoConnected);
    EXPECT_EQ(ids[1], kClientInfoRequest);
    EXPECT_EQ(ids.back(), kClientInfoClosed);
    for (size_t index = 2; index + 1 < ids.size(); ++index) {
        EXPECT_EQ(ids[index], kClientInfoProgress);
    }
    std::optional<ClientRecord> record =
        CopyClientRecord(static_cast<SocketHandle>(clients.Posts().back().argument));
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->action, kActionDownload);
    EXPECT_EQ(record->object, "/share/a.txt");
    EXPECT_EQ(record->done, record->total);
    EXPECT_GT(record->total, 1000u);
    EXPECT_NE(record->closedAt.ticks, 0u);
}

TEST_F(ServerTest, UnreadRequestBodyDoesNotCutTheAnswer) {
    std::string body(512 * 1024, 'x');
    WireResponse response = Request(
        "POST /share/a.txt HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    EXPECT_EQ(response.statusLine, "HTTP/1.1 400 Bad Request");
    EXPECT_EQ(response.body.size(), std::stoul(response.Header("Content-Length")));
}

// Every spelling of a climb out of the shared folder: dot segments encoded in each case, backslashes,
// doubled separators, overlong UTF-8 forms, NUL bytes, double encoding. Sub-folder access is on, so
// only the confinement itself stands between these paths and the files beside the folder.
TEST_F(ServerTest, PathsOutsideTheFolderAreNeverServed) {
    m_server.Home().WriteFile("shared/sub/inner.txt", "inner");
    // Separated by '|'.
    const std::string paths =
        "/share/../secret.txt|/share/%2e%2e/secret.txt|/share/%2E%2e%2fsecret.txt|"
        "/share/%2E%2E/secret.txt|/share/..%5csecret.txt|/share/..%2fsecret.txt|"
        "/share/..%2Fsecret.txt|/share/%2e%2e%5csecret.txt|/share/%2e%2e%2f%2e%2e%2fsecret.txt|"
        "/share/.%2e/secret.txt|/share/%2e./secret.txt|/share//..//secret.txt|"
        "/share/..//..//secret.txt|/share/sub/../../secret.txt|/share/sub/..%2f..%2fsecret.txt|"
        "/share/sub%2f..%2f..%2fsecret.txt|/share/sub/.%2e/.%2e/secret.txt|"
        "/share/sub/../../../secret.txt?x=1|/share/./../secret.txt|/share/.././secret.txt|"
        "/share/..\\secret.txt|/share/..\\..\\secret.txt|/share/\\..\\secret.txt|"
        "/share/%5c..%5csecret.txt|//share/../secret.txt|/share/../shared/../secret.txt|"
        "/share/%c0%ae%c0%ae/secret.txt|/share/%c0%2e%c0%2e/secret.txt|/share/..%c0%afsecret.txt|"
        "/share/..%e0%80%afsecret.txt|/share/..%c1%9csecret.txt|/share/%252e%252e/secret.txt|"
        "/share/..%255csecret.txt|/share/%u002e%u002e/secret.txt|/share/a.txt%00.jpg|"
        "/share/..%00/secret.txt|/share/%00../secret.txt|/share/.../secret.txt|"
        "/share/....//secret.txt|/share/...%2f..%2fsecret.txt|/share/..%20/secret.txt|"
        "/share/%20../secret.txt|/share/..%09/secret.txt|/share/..;/secret.txt|"
        "/share/../../../../../../../../etc/passwd|"
        "/share/%2e%2e/%2e%2e/%2e%2e/%2e%2e/%2e%2e/etc/passwd";
    size_t tried = 0;
    for (size_t start = 0, end; start < paths.size(); start = end + 1, ++tried) {
        end = std::min(paths.find('|', start), paths.size());
        const std::string path = paths.substr(start, end - start);
        SCOPED_TRACE(path);
        for (const char* method : {"GET", "HEAD"}) {
            WireResponse response =
                Request(std::string(method) + " " + path + " HTTP/1.1\r\nHost: x\r\n\r\n");
            EXPECT_TRUE(response.statusLine == "HTTP/1.1 403 Forbidden" ||
                        response.statusLine == "HTTP/1.1 404 Not Found")
                << method << " " << response.statusLine;
            EXPECT_EQ(response.raw.find("top secret"), std::string::npos);
            EXPECT_EQ(response.raw.find("root:x:0:0"), std::string::npos);
        }
    }
    EXPECT_EQ(tried, 46u) << "paths lost in the list";
    // The plain climb is recognised as one, not merely missed.
    EXPECT_EQ(Request(Get("/share/../secret.txt")).statusLine, "HTTP/1.1 403 Forbidden");
    EXPECT_EQ(Request(Get("/share/sub/inner.txt")).body, "inner");
}

TEST_F(ServerTest, HeaderLimitsWithoutTheAutoBlockList) {
    SetUseAutoBlockList(false);
    SetLocalClientRule(LocalClientRule::TreatAllAsRemote);
    // 5000 bytes would be refused with the list on; without it they are an ordinary request.
    WireResponse padded = Request(Get("/share/a.txt", "X-Pad: " + std::string(5000, 'p') + "\r\n"));
    EXPECT_EQ(padded.statusLine, "HTTP/1.1 200 OK");
    WireResponse endless = ExchangeInPieces(
        m_server.Port(), {"GET /share/a.txt HTTP/1.1\r\nX-Pad: ", std::string(70 * 1024, 'p')});
    EXPECT_FALSE(endless.received);
    EXPECT_TRUE(ReadAutoBlockList().empty());
}

TEST(ServerLifecycle, BusyPortFailsWithAddressInUseAndStopIsReported) {
    test::ScopedSarvoHome home;
    test::NotificationRecorder window(NotificationChannel::MainWindow);
    int blocker = CreateTcpSocket();
    ASSERT_GE(blocker, 0);
    ASSERT_EQ(Bind(blocker, htonl(INADDR_LOOPBACK), 0), 0);
    ASSERT_EQ(Listen(blocker, 1), 0);
    sockaddr_in bound{};
    ASSERT_EQ(GetSockName(blocker, bound), 0);
    SetListenIp(htonl(INADDR_LOOPBACK));
    SetListenPort(ntohs(bound.sin_port));

    StartServer();
    EXPECT_TRUE(window.WaitFor(CMD_SERVER_START_FAILED, std::chrono::seconds(10)));
    WaitForServerThread();
    EXPECT_EQ(GetLastServerError(), kWsaEAddrInUse);
    CloseSocket(blocker);

    StartServer();
    ASSERT_TRUE(window.WaitFor(CMD_SERVER_STARTED, std::chrono::seconds(10)));
    EXPECT_TRUE(IsServerRunning());
    EXPECT_EQ(ServerUrl(), "http://127.0.0.1:" + std::to_string(ntohs(bound.sin_port)) + "/");
    StopServer();
    EXPECT_TRUE(window.WaitFor(CMD_SERVER_STOPPED, std::chrono::seconds(5)));
    WaitForServerThread();
    EXPECT_FALSE(IsServerRunning());
}

}  // namespace
}  // namespace sarvo
