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
        for (size_t index = 0; index < 20000; ++index)
            m_content.push_back(static_cast<char>((index * 31 + index / 256) % 256));
        m_path = m_folder.WriteFile("data.bin", m_content);
    }

    test::TempFolder m_folder;
    std::string m_content;
    std::string m_path;
};

TEST_F(FileResponseTest, RangeReadsOnlyTheSelectedStretch) {
    struct Case {
        uint64_t first;
        uint64_t length;
    } cases[] = {{0, 20000}, {0, 100}, {500, 19500}, {19999, 1}, {1234, 8193}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        FileResponse response;
        ASSERT_TRUE(response.OpenFile(m_path));
        EXPECT_FALSE(response.OpenFile(m_path)) << "a second open is refused";
        ASSERT_TRUE(response.SelectRange(c.first, c.length));
        EXPECT_EQ(response.BodyLength(), c.length);
        EXPECT_EQ(ReadAllBody(response, 4096), m_content.substr(c.first, c.length));
        // Content-Length was promised from this, so it does not count down while the body is read.
        EXPECT_EQ(response.BodyLength(), c.length);
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
        EXPECT_EQ(ReadAllBody(response, 4096), m_content.substr(10, 20));
    }
    FileResponse closed;
    EXPECT_FALSE(closed.SelectRange(0, 0));
}

TEST_F(FileResponseTest, MissingFilesAndDirectoriesAreNotOpened) {
    for (const std::string& path :
         {m_folder.Child("missing.bin"), m_folder.Path(), std::string(), m_path + "/x"}) {
        SCOPED_TRACE(path);
        FileResponse response;
        EXPECT_FALSE(response.OpenFile(path));
        EXPECT_FALSE(response.HasOpenFile());
        EXPECT_EQ(response.BodyLength(), 0u);
    }
}

TEST_F(FileResponseTest, FileBodyDescribesWhatIsLeftToSend) {
    FileResponse response;
    ASSERT_TRUE(response.OpenFile(m_path));
    ASSERT_TRUE(response.SelectRange(1000, 5000));
    FileBodyStretch stretch;
    ASSERT_TRUE(response.FileBody(stretch));
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

TEST_F(FileResponseTest, FileThatShrinksEndsTheBodyEarly) {
    FileResponse response;
    ASSERT_TRUE(response.OpenFile(m_path));
    ASSERT_EQ(::truncate(m_path.c_str(), 300), 0);
    EXPECT_EQ(ReadAllBody(response, 8192), m_content.substr(0, 300));
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
    ASSERT_EQ(::dup3(directory, stretch.descriptor, O_CLOEXEC), stretch.descriptor);
    ::close(directory);
    EXPECT_EQ(response.ReadBody(block, sizeof block), 0u);
    ASSERT_TRUE(response.FileBody(stretch));
    EXPECT_EQ(stretch.offset, 64u);
    EXPECT_EQ(stretch.remaining, 20000u - 64u);
}

TEST_F(FileResponseTest, DescriptorIsCloseOnExecAndClosedWithTheResponse) {
    int descriptor;
    {
        FileResponse response;
        ASSERT_TRUE(response.OpenFile(m_path));
        FileBodyStretch stretch;
        ASSERT_TRUE(response.FileBody(stretch));
        descriptor = stretch.descriptor;
        EXPECT_TRUE(::fcntl(descriptor, F_GETFD) & FD_CLOEXEC);
    }
    errno = 0;
    EXPECT_EQ(::fcntl(descriptor, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);
}

}  // namespace
}  // namespace sarvo
