#include "platform/TempFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/TempFolder.h"

namespace sarvo {
namespace {

// Points TMPDIR at a folder of the test's own, so that what is left behind can be counted.
class TempFileTest : public ::testing::Test {
protected:
    TempFileTest() {
        if (const char* previous = std::getenv("TMPDIR"))
            m_previous = previous;
        SetTmpDir(m_folder.Path());
    }
    ~TempFileTest() override {
        if (m_previous)
            ::setenv("TMPDIR", m_previous->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }

    static void SetTmpDir(const std::string& value) { ::setenv("TMPDIR", value.c_str(), 1); }

    size_t EntriesInFolder() const {
        size_t count = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_folder.Path()))
            ++count;
        return count;
    }

    static std::string ReadBack(int descriptor) {
        std::string text(64, '\0');
        ssize_t count = ::pread(descriptor, text.data(), text.size(), 0);
        text.resize(count > 0 ? static_cast<size_t>(count) : 0);
        return text;
    }

    static bool IsOpenDescriptor(int descriptor) { return ::fcntl(descriptor, F_GETFD) >= 0; }

    test::TempFolder m_folder;
    std::optional<std::string> m_previous;
};

TEST_F(TempFileTest, DeleteOnCloseHasNoNameFromTheStart) {
    int descriptor = -1;
    {
        TempFile file = CreateTempFile(TempFileMode::DeleteOnClose);
        ASSERT_TRUE(file.IsOpen());
        EXPECT_EQ(file.Mode(), TempFileMode::DeleteOnClose);
        EXPECT_EQ(file.Path(), "");
        EXPECT_EQ(EntriesInFolder(), 0u);
        descriptor = file.Descriptor();
        ASSERT_EQ(::write(descriptor, "posted body", 11), 11);
        EXPECT_EQ(ReadBack(descriptor), "posted body");
        EXPECT_EQ(::fcntl(descriptor, F_GETFL) & O_ACCMODE, O_RDWR);
        EXPECT_NE(::fcntl(descriptor, F_GETFD) & FD_CLOEXEC, 0);
    }
    EXPECT_FALSE(IsOpenDescriptor(descriptor));
    EXPECT_EQ(EntriesInFolder(), 0u);
}

TEST_F(TempFileTest, KeepOnCloseLeavesTheFileWithItsContent) {
    std::string path;
    {
        TempFile file = CreateTempFile(TempFileMode::KeepOnClose);
        ASSERT_TRUE(file.IsOpen());
        path = file.Path();
        EXPECT_EQ(path.rfind(m_folder.Path() + "/" + kTempFilePrefix, 0), 0u) << path;
        EXPECT_EQ(path.size(), m_folder.Path().size() + 1 + 3 + 6);
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        ASSERT_EQ(::write(file.Descriptor(), "archive", 7), 7);
    }
    EXPECT_EQ(EntriesInFolder(), 1u);
    int reader = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(ReadBack(reader), "archive");
    ::close(reader);
}

// A move that left the source owning the descriptor would close it twice; an assignment that forgot
// the old one would leak it.
TEST_F(TempFileTest, MovingHandsOverTheDescriptorAndAssignmentClosesTheOldOne) {
    TempFile first = CreateTempFile(TempFileMode::KeepOnClose);
    ASSERT_TRUE(first.IsOpen());
    const int firstDescriptor = first.Descriptor();
    TempFile moved(std::move(first));
    EXPECT_FALSE(first.IsOpen());
    EXPECT_EQ(moved.Descriptor(), firstDescriptor);

    TempFile other = CreateTempFile(TempFileMode::DeleteOnClose);
    const int otherDescriptor = other.Descriptor();
    moved = std::move(other);
    EXPECT_FALSE(IsOpenDescriptor(firstDescriptor));
    EXPECT_EQ(moved.Descriptor(), otherDescriptor);
    EXPECT_EQ(moved.Path(), "");
    moved.Close();
    EXPECT_FALSE(IsOpenDescriptor(otherDescriptor));
    // The kept file outlives its descriptor.
    EXPECT_EQ(EntriesInFolder(), 1u);
}

TEST_F(TempFileTest, TheFolderComesFromTmpDirWithoutTrailingSlashes) {
    EXPECT_EQ(TempFolderPath(), m_folder.Path());
    SetTmpDir(m_folder.Path() + "//");
    EXPECT_EQ(TempFolderPath(), m_folder.Path());
    TempFile file = CreateTempFile(TempFileMode::KeepOnClose);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Path().rfind(m_folder.Path() + "/xyz", 0), 0u) << file.Path();
    SetTmpDir("");
    EXPECT_EQ(TempFolderPath(), kDefaultTempFolder);
    ::unsetenv("TMPDIR");
    EXPECT_EQ(TempFolderPath(), "/tmp");
}

TEST_F(TempFileTest, AFolderThatCannotTakeFilesGivesNoFile) {
    SetTmpDir(m_folder.Child("missing"));
    for (TempFileMode mode : {TempFileMode::KeepOnClose, TempFileMode::DeleteOnClose}) {
        TempFile file = CreateTempFile(mode);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(file.Descriptor(), -1);
        EXPECT_EQ(file.Path(), "");
    }
    EXPECT_EQ(EntriesInFolder(), 0u);
}

}  // namespace
}  // namespace sarvo
