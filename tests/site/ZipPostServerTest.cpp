#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "StreamClient.h"
#include "ZipTestSupport.h"
#include "common/Format.h"
#include "server/HttpResponse.h"
#include "server/PathResolver.h"
#include "site/PostFile.h"
#include "site/ZipWriter.h"
#include "store/Folders.h"
#include "support/LoopbackServer.h"

namespace sarvo {
namespace {

namespace fs = std::filesystem;
using test::Exchange;
using test::ExchangeInPieces;
using test::Get;
using test::LoopbackServer;
using test::StreamClient;
using test::TempFolder;
using test::WireResponse;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAreArray;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kBoundary = "----sarvoTestBoundary7MA4YWxkTrZu0gW";

// Strict reading of a chunked body: lower-case hexadecimal sizes without leading zeros, no empty
// chunk but the last, which ends the body exactly. "" and the data, or the first fault found.
std::string Dechunk(const std::string& body, std::string& data, size_t* chunkCount = nullptr) {
    static const std::regex kChunk("([1-9a-f][0-9a-f]*)\r\n");
    size_t at = 0;
    for (size_t count = 0;; ++count) {
        if (body.compare(at, std::string::npos, "0\r\n\r\n") == 0) {
            if (chunkCount)
                *chunkCount = count;
            return "";
        }
        std::smatch size;
        const std::string rest = body.substr(at, 20);
        if (!std::regex_search(rest, size, kChunk, std::regex_constants::match_continuous))
            return "bad chunk size line at " + std::to_string(at);
        const size_t length = std::stoul(size[1], nullptr, 16);
        at += size.length(0);
        if (at + length + 2 > body.size() || body.compare(at + length, 2, "\r\n") != 0)
            return "chunk of " + std::to_string(length) + " not closed by CR LF";
        data.append(body, at, length);
        at += length + 2;
    }
}

std::string Post(const std::string& path, const std::string& body, const std::string& headers) {
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n" + body;
}

std::string MultipartHeaders(size_t length, const std::string& boundary = kBoundary) {
    return "Content-Type: multipart/form-data; boundary=" + boundary +
           "\r\nContent-Length: " + std::to_string(length) + "\r\n";
}

std::string FilePart(const std::string& fileName, const std::string& data) {
    return "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"fp\"; filename=\"" + fileName +
           "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + data + "\r\n";
}

std::string Closing() {
    return "--" + kBoundary + "--\r\n";
}

// The text of the page's status cell.
std::string StatusCell(const std::string& page) {
    const std::string start =
        "id=\"st\" style=\"color:#ffff00;background-color:#0080ff;padding-top:3;padding-bottom:3\">";
    const size_t from = page.find(start);
    if (from == std::string::npos)
        return "no status cell";
    const size_t begin = from + start.size();
    return page.substr(begin, page.find("</td>", begin) - begin);
}

class ZipPostServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started());
        m_folder = m_server.ShareFolder("share", "shared");
    }

    WireResponse Request(const std::string& request) { return Exchange(m_server.Port(), request); }

    LoopbackServer m_server;
    std::string m_folder;
};

TEST_F(ZipPostServerTest, ZipDownloadStreamsTheArchiveInChunks) {
    test::MakeMixedTree(m_folder);
    ASSERT_TRUE(SetZipDownloadAllowed("share", true));
    WireResponse response = Request(Get("/share/?zipdld"));
    EXPECT_EQ(response.statusLine, "HTTP/1.1 200 OK");
    EXPECT_THAT(response.HeaderNames(),
                ElementsAre("Content-Type", "Server", "Transfer-Encoding", "Date", "Content-Disposition"));
    EXPECT_EQ(response.Header("Content-Type"), "application/x-zip-compressed");
    EXPECT_EQ(response.Header("Transfer-Encoding"), "chunked");
    EXPECT_EQ(response.Header("Content-Disposition"), "attachment; filename=\"shared.zip\"");
    std::string archive;
    size_t chunks = 0;
    ASSERT_EQ(Dechunk(response.body, archive, &chunks), "");
    EXPECT_GT(chunks, 1u);
    // The archive itself passes the foreign tools in the writer's tests.
    EXPECT_TRUE(archive == test::ZipBytes(m_folder, ZipSubfolders::Include))
        << "the streamed archive differs";
}

TEST_F(ZipPostServerTest, EmptyFolderIsOneChunkAndTheLastChunk) {
    ASSERT_TRUE(SetZipDownloadAllowed("share", true));
    WireResponse response = Request(Get("/share/?zipdld"));
    const std::string archive = test::ZipBytes(m_folder, ZipSubfolders::Include);
    ASSERT_EQ(archive.size(), 78u);
    EXPECT_EQ(response.body, "4e\r\n" + archive + "\r\n0\r\n\r\n");
}

TEST_F(ZipPostServerTest, SubFolderRulesOverTheWire) {
    test::MakeMixedTree(m_folder);
    ASSERT_TRUE(SetZipDownloadAllowed("share", true));
    TempFolder out;
    struct Case {
        const char* description;
        bool browseSubfolders;
        std::string url;
        std::string disposition;
        std::vector<std::string> names;
    } cases[] = {
        {"sub-folders off", false, "/share/?zipdld", "attachment; filename=\"shared.zip\"",
         test::MixedTreeNames(false)},
        {"a sub-folder",
         true,
         "/share/sub/?zipdld",
         "attachment; filename=\"sub.zip\"",
         {"a.txt", ".hiddenfile", "deeper/b.bin", "deeper/c.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        ASSERT_TRUE(SetCanBrowseSubfolders("share", c.browseSubfolders));
        WireResponse response = Request(Get(c.url));
        EXPECT_EQ(response.Header("Content-Disposition"), c.disposition);
        std::string archive;
        ASSERT_EQ(Dechunk(response.body, archive), "");
        test::WriteWholeFile(out.Child("a.zip"), archive);
        EXPECT_THAT(test::PythonEntryNames(out.Child("a.zip")), UnorderedElementsAreArray(c.names));
    }
}

TEST_F(ZipPostServerTest, ZipAndPostingSwitchedOffAnswer405) {
    ASSERT_TRUE(SetZipDownloadAllowed("share", false));
    ASSERT_TRUE(SetCanPostFiles("share", false));
    const std::string body = FilePart("a.txt", "a") + Closing();
    for (const std::string& request : {Get("/share/?zipdld"), Get("/share/?postfile"),
                                       Post("/share/?postfile", body, MultipartHeaders(body.size()))}) {
        SCOPED_TRACE(request.substr(0, request.find('\r')));
        EXPECT_EQ(Request(request).statusLine, "HTTP/1.1 405 Method Not Allowed");
    }
    EXPECT_FALSE(fs::exists(m_folder + "/a.txt"));
}

// The client leaves after the first bytes, or while the writer is still inside the first large file
// so that no byte has been sent yet: the writer must stop within a second, and nothing may be left in
// the temporary folder.
TEST_F(ZipPostServerTest, ClientLeavingStopsTheWriterAndLeavesNoTemporaryFile) {
    TempFolder temporary;
    ::setenv("TMPDIR", temporary.Path().c_str(), 1);
    ASSERT_TRUE(SetZipDownloadAllowed("share", true));
    for (size_t readFirst : {size_t{4096}, size_t{0}}) {
        SCOPED_TRACE(readFirst ? "after the first bytes" : "before the first entry");
        fs::remove_all(m_folder);
        if (readFirst) {
            for (const char* name : {"a.bin", "b.bin", "c.bin", "d.bin"})
                test::WriteWholeFile(m_folder + "/" + name, test::RandomBytes(16 * 1024 * 1024, name[0]));
        } else {
            test::WriteWholeFile(m_folder + "/huge.bin", test::RandomBytes(64 * 1024 * 1024, 3));
        }
        {
            StreamClient client(m_server.Port(), Get("/share/?zipdld"));
            ASSERT_NE(client.ReadHead(), "");
            ASSERT_EQ(client.ReadExactly(readFirst, 20s).size(), readFirst);
            EXPECT_TRUE(fs::is_empty(temporary.Path()));
        }
        const auto closed = Clock::now();
        EXPECT_TRUE(m_server.WaitForIdle(1s))
            << "the download was still running a second after the client left";
        EXPECT_LT(Clock::now() - closed, 1s);
        EXPECT_TRUE(fs::is_empty(temporary.Path()));
    }
    ::unsetenv("TMPDIR");
}

TEST_F(ZipPostServerTest, UploadReplacesTheFileAndReportsIt) {
    ASSERT_TRUE(SetCanPostFiles("share", true));
    test::WriteWholeFile(m_folder + "/report.pdf", "old content");
    const std::string data = test::RandomBytes(12345, 8);
    const std::string body = FilePart("C:\\docs\\report.pdf", data) + Closing();
    WireResponse response = Request(Post("/share/?postfile", body, MultipartHeaders(body.size())));
    EXPECT_EQ(response.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(test::ReadWholeFile(m_folder + "/report.pdf"), data);
    // The page is the Post a File page of the folder the request named.
    HttpResponse local;
    BuildPostFilePage(local, ResolvePath("/share/"), "1 Files: report.pdf (12,345), OK");
    EXPECT_EQ(response.body, local.BodyText());
}

TEST_F(ZipPostServerTest, UploadInRandomPiecesIntoASubFolder) {
    ASSERT_TRUE(SetCanPostFiles("share", true));
    fs::create_directories(m_folder + "/sub");
    const std::string a = test::RandomBytes(300000, 1);
    const std::string b = test::TextBytes(20000, 2);
    const std::string body = FilePart("a.bin", a) + FilePart("na\xc3\xafve.txt", b) + Closing();
    const std::string request = Post("/share/sub/?postfile", body, MultipartHeaders(body.size()));
    std::vector<std::string> pieces;
    std::srand(5);
    for (size_t at = 0, n; at < request.size(); at += n)
        pieces.push_back(request.substr(at, n = 1 + std::rand() % 70000));
    WireResponse response = ExchangeInPieces(m_server.Port(), pieces);
    EXPECT_EQ(StatusCell(response.body), "2 Files: a.bin (300,000), OK; na\xc3\xafve.txt (20,000), OK");
    EXPECT_EQ(test::ReadWholeFile(m_folder + "/sub/a.bin"), a);
    EXPECT_EQ(test::ReadWholeFile(m_folder + "/sub/na\xc3\xafve.txt"), b);
}

TEST_F(ZipPostServerTest, UploadsThatCarryNoFiles) {
    ASSERT_TRUE(SetCanPostFiles("share", true));
    const std::string body = FilePart("a.txt", "a") + Closing();
    const std::string emptyField = FilePart("", "") + Closing();
    struct Case {
        const char* description;
        std::string request;
        std::string status;
    } cases[] = {
        {"no Content-Length",
         Post("/share/", body, "Content-Type: multipart/form-data; boundary=" + kBoundary + "\r\n"),
         "No Files Received"},
        {"Content-Length 0", Post("/share/", "", MultipartHeaders(0)), "No Files Received"},
        {"no boundary",
         Post("/share/", body,
              "Content-Type: multipart/form-data\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
         "No Files Received"},
        {"not multipart",
         Post("/share/", body,
              "Content-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"),
         "No Files Received"},
        {"empty file field", Post("/share/", emptyField, MultipartHeaders(emptyField.size())), "0 Files: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        WireResponse response = Request(c.request);
        EXPECT_EQ(response.statusLine, "HTTP/1.1 200 OK");
        EXPECT_EQ(StatusCell(response.body), c.status);
    }
    EXPECT_TRUE(fs::is_empty(m_folder));
}

TEST_F(ZipPostServerTest, PartCutOffIsReportedFailed) {
    ASSERT_TRUE(SetCanPostFiles("share", true));
    const std::string data = test::RandomBytes(50000, 4);
    const std::string body = FilePart("cut.bin", data).substr(0, 30000);
    const std::string old = m_folder + "/cut.bin";
    test::WriteWholeFile(old, "old");
    WireResponse response = Request(Post("/share/", body, MultipartHeaders(body.size())));
    // The count is what was written aside before the part ran out; none of it took the name.
    const size_t dataSent = body.size() - FilePart("cut.bin", "").size() + 2;
    EXPECT_EQ(StatusCell(response.body), "1 Files: cut.bin (" + FormatCount(dataSent) + "), Failed");
    EXPECT_EQ(test::ReadWholeFile(old), "old");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_folder))
        names.push_back(entry.path().filename().string());
    EXPECT_THAT(names, ElementsAre("cut.bin"));
}

TEST_F(ZipPostServerTest, ClientLeavingDuringTheUploadGetsNoAnswerAndWritesNothing) {
    ASSERT_TRUE(SetCanPostFiles("share", true));
    TempFolder temporary;
    ::setenv("TMPDIR", temporary.Path().c_str(), 1);
    const std::string body = FilePart("gone.bin", test::RandomBytes(200000, 6)) + Closing();
    const std::string request = Post("/share/", body, MultipartHeaders(body.size()));
    {
        StreamClient client(m_server.Port(), request.substr(0, request.size() / 2));
        client.ReadFor(300ms);
    }
    EXPECT_TRUE(m_server.WaitForIdle(5s));
    EXPECT_TRUE(fs::is_empty(m_folder));
    EXPECT_TRUE(fs::is_empty(temporary.Path()));
    ::unsetenv("TMPDIR");
}

}  // namespace
}  // namespace sarvo
