#include "server/FileResponse.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace sarvo {
namespace {

std::string Numbered(size_t size) {
    std::string bytes(size, '\0');
    for (size_t index = 0; index < size; ++index)
        bytes[index] = static_cast<char>((index * 31 + index / 256) % 256);
    return bytes;
}

std::string ReadAllBody(HttpResponse& response, size_t block) {
    std::string out;
    std::vector<char> buffer(block);
    size_t count;
    while ((count = response.ReadBody(buffer.data(), block)) > 0)
        out.append(buffer.data(), count);
    return out;
}

class FileResponseTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_content = Numbered(20000);
        m_path = m_folder.WriteFile("data.bin", m_content);
    }

    test::TempFolder m_folder;
    std::string m_content;
    std::string m_path;
};

TEST_F(FileResponseTest, WholeFileIsReadBlockByBlock) {
    FileResponse response;
    ASSERT_TRUE(response.OpenFile(m_path));
    EXPECT_TRUE(response.HasOpenFile());
    EXPECT_EQ(response.FileSize(), 20000u);
    EXPECT_EQ(response.BodyLength(), 20000u);

    char block[8192];
    EXPECT_EQ(response.ReadBody(block, sizeof block), 8192u);
    EXPECT_EQ(std::string(block, 8192), m_content.substr(0, 8192));
    EXPECT_EQ(ReadAllBody(response, 8192), m_content.substr(8192));
    EXPECT_EQ(response.ReadBody(block, sizeof block), 0u);
    // Content-Length was promised from this, so it does not count down while the body is read.
    EXPECT_EQ(response.BodyLength(), 20000u);
}

TEST_F(FileResponseTest, RangeReadsOnlyTheSelectedStretch) {
    struct Case {
        uint64_t first;
        uint64_t length;
    } cases[] = {{0, 100}, {500, 19500}, {19900, 100}, {19999, 1}, {1234, 8193}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        FileResponse response;
        ASSERT_TRUE(response.OpenFile(m_path));
        ASSERT_TRUE(response.SelectRange(c.first, c.length));
        EXPECT_EQ(response.BodyLength(), c.length);
        EXPECT_EQ(ReadAllBody(response, 4096), m_content.substr(c.first, c.length));
    }
}

TEST_F(FileResponseTest, RangeOutsideTheFileIsRefusedAndChangesNothing) {
    struct Case {
        uint64_t first;
        uint64_t length;
    } cases[] = {{0, 20001}, {19999, 2}, {20001, 0}, {UINT64_MAX, 2}, {2, UINT64_MAX}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        FileResponse response;
        ASSERT_TRUE(response.OpenFile(m_path));
        ASSERT_TRUE(response.SelectRange(10, 20));
        EXPECT_FALSE(response.SelectRange(c.first, c.length));
        EXPECT_EQ(response.BodyLength(), 20u);
        EXPECT_EQ(ReadAllBody(response, 4096), m_content.substr(10, 20));
    }
    FileResponse closed;
    EXPECT_FALSE(closed.SelectRange(0, 0));
}

TEST_F(FileResponseTest, FileBodyDescribesWhatIsLeftToSend) {
    FileResponse response;
    ASSERT_TRUE(response.OpenFile(m_path));
    ASSERT_TRUE(response.SelectRange(1000, 5000));
    FileBodyStretch stretch;
    ASSERT_TRUE(response.FileBody(stretch));
    EXPECT_GE(stretch.descriptor, 0);
    EXPECT_EQ(stretch.offset, 1000u);
    EXPECT_EQ(stretch.remaining, 5000u);

    response.SkipFileBody(3000);
    char block[100];
    EXPECT_EQ(response.ReadBody(block, sizeof block), 100u);
    EXPECT_EQ(std::string(block, 100), m_content.substr(4000, 100));
    ASSERT_TRUE(response.FileBody(stretch));
    EXPECT_EQ(stretch.offset, 4100u);
    EXPECT_EQ(stretch.remaining, 1900u);

    response.SkipFileBody(5000);
    ASSERT_TRUE(response.FileBody(stretch));
    EXPECT_EQ(stretch.remaining, 0u);
    EXPECT_EQ(response.ReadBody(block, sizeof block), 0u);

    FileResponse withoutFile;
    EXPECT_FALSE(withoutFile.FileBody(stretch));
}

TEST_F(FileResponseTest, HeaderCarriesTheSelectedLength) {
    FileResponse response;
    ASSERT_TRUE(response.OpenFile(m_path));
    ASSERT_TRUE(response.SelectRange(0, 100));
    response.BeginResponse(206);
    response.SetConnection();
    response.FinishHeaders();
    std::string header(response.HeaderText());
    EXPECT_EQ(header.substr(header.find("Connection")), "Connection: close\r\nContent-Length: 100\r\n\r\n");
    EXPECT_EQ(response.TotalLength(), header.size() + 100);
}

TEST_F(FileResponseTest, MissingFilesAndDirectoriesAreNotOpened) {
    const std::string cases[] = {m_folder.Child("missing.bin"), m_folder.Path(), "", m_path + "/below"};
    for (const std::string& path : cases) {
        SCOPED_TRACE(path);
        FileResponse response;
        EXPECT_FALSE(response.OpenFile(path));
        EXPECT_FALSE(response.HasOpenFile());
        EXPECT_EQ(response.FileSize(), 0u);
        EXPECT_EQ(response.BodyLength(), 0u);
    }
}

TEST_F(FileResponseTest, SecondOpenIsRefused) {
    std::string other = m_folder.WriteFile("other.txt", "other");
    FileResponse response;
    ASSERT_TRUE(response.OpenFile(m_path));
    EXPECT_FALSE(response.OpenFile(other));
    EXPECT_EQ(response.FileSize(), 20000u);
}

TEST_F(FileResponseTest, FileThatShrinksEndsTheBodyEarly) {
    FileResponse response;
    ASSERT_TRUE(response.OpenFile(m_path));
    ASSERT_EQ(::truncate(m_path.c_str(), 300), 0);
    EXPECT_EQ(ReadAllBody(response, 8192), m_content.substr(0, 300));
    char block[16];
    EXPECT_EQ(response.ReadBody(block, sizeof block), 0u);
}

TEST_F(FileResponseTest, ReadErrorCountsAsNoBytes) {
    FileResponse response;
    ASSERT_TRUE(response.OpenFile(m_path));
    FileBodyStretch stretch;
    ASSERT_TRUE(response.FileBody(stretch));
    char block[64];
    ASSERT_EQ(response.ReadBody(block, sizeof block), 64u);
    // A directory put in the file's place under the same descriptor number makes every read fail.
    int directory = ::open(m_folder.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(directory, 0);
    ASSERT_EQ(::dup3(directory, stretch.descriptor, O_CLOEXEC), stretch.descriptor);
    ::close(directory);
    errno = 0;
    ASSERT_LT(::pread(stretch.descriptor, block, sizeof block, 0), 0);
    ASSERT_EQ(errno, EISDIR);

    EXPECT_EQ(response.ReadBody(block, sizeof block), 0u);
    ASSERT_TRUE(response.FileBody(stretch));
    EXPECT_EQ(stretch.offset, 64u);
    EXPECT_EQ(stretch.remaining, 20000u - 64u);
}

TEST_F(FileResponseTest, WithoutAFileTheBodyIsInMemory) {
    FileResponse response;
    response.BeginResponse(200);
    response.AppendText("listing");
    EXPECT_EQ(response.BodyLength(), 7u);
    EXPECT_EQ(ReadAllBody(response, 3), "listing");
}

TEST_F(FileResponseTest, DescriptorIsCloseOnExecAndClosedWithTheResponse) {
    int descriptor;
    {
        FileResponse response;
        ASSERT_TRUE(response.OpenFile(m_path));
        FileBodyStretch stretch;
        ASSERT_TRUE(response.FileBody(stretch));
        descriptor = stretch.descriptor;
        int flags = ::fcntl(descriptor, F_GETFD);
        ASSERT_GE(flags, 0);
        EXPECT_TRUE(flags & FD_CLOEXEC);
    }
    errno = 0;
    EXPECT_EQ(::fcntl(descriptor, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);
}

}  // namespace
}  // namespace sarvo
