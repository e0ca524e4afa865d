#include "site/ZipWriter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "ZipTestSupport.h"
#include "platform/TempFile.h"
#include "site/ZipLayout.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

using test::TempFolder;

std::string SaveArchive(const TempFolder& where, const std::string& bytes) {
    const std::string path = where.Child("out.zip");
    test::WriteWholeFile(path, bytes);
    return path;
}

std::multiset<std::string> AsSet(const std::vector<std::string>& names) {
    return std::multiset<std::string>(names.begin(), names.end());
}

TEST(ZipWriter, EmptyFolderGivesOnlyTheEndRecordAndTheComment) {
    TempFolder root;
    const std::string archive = test::ZipBytes(root.Path(), ZipSubfolders::Include);
    const std::string comment = "Zip Folder by Sarvo (https://keldanworks.example/sarvo/)";
    std::string expected = std::string("PK\x05\x06", 4) + std::string(16, '\0') +
                           static_cast<char>(comment.size()) + '\0' + comment;
    EXPECT_EQ(archive, expected);

    TempFolder out;
    EXPECT_EQ(test::CheckWithForeignTools(SaveArchive(out, archive), root.Path(), test::ArchiveKind::Empty),
              "");
}

TEST(ZipWriter, MixedTreePassesEveryForeignToolAndFollowsTheSubFolderRules) {
    TempFolder root;
    test::MakeMixedTree(root.Path());
    TempFolder out;
    for (bool withSubfolders : {true, false}) {
        SCOPED_TRACE(withSubfolders ? "with sub-folders" : "without sub-folders");
        const std::string saved = SaveArchive(
            out, test::ZipBytes(root.Path(), withSubfolders ? ZipSubfolders::Include : ZipSubfolders::Skip));
        EXPECT_EQ(test::CheckWithForeignTools(saved, root.Path()), "");
        const std::vector<std::string> names = test::PythonEntryNames(saved);
        EXPECT_EQ(AsSet(names), AsSet(test::MixedTreeNames(withSubfolders)));
        // The folder's own files come before anything of its sub-folders.
        auto firstBelow = std::find_if(names.begin(), names.end(),
                                       [](const std::string& n) { return n.find('/') != std::string::npos; });
        EXPECT_TRUE(std::all_of(firstBelow, names.end(),
                                [](const std::string& n) { return n.find('/') != std::string::npos; }));
    }
}

TEST(ZipWriter, SingleFileGivesAnArchiveOfThatFileAndAMissingPathNone) {
    TempFolder root;
    const std::string file = root.WriteFile("dir/only.txt", test::TextBytes(10000, 3));
    TempFolder out;
    const std::string saved = SaveArchive(out, test::ZipBytes(file, ZipSubfolders::Skip));
    EXPECT_EQ(test::PythonEntryNames(saved), std::vector<std::string>{"only.txt"});
    EXPECT_EQ(test::CheckWithForeignTools(saved, root.Child("dir")), "");
    TempFile missing = CreateTempFile(TempFileMode::DeleteOnClose);
    ZipJob job;
    EXPECT_EQ(ZipFolder(root.Child("missing"), missing.Descriptor(), ZipSubfolders::Include, job),
              kZipPathMissing);
    EXPECT_EQ(test::DescriptorContent(missing.Descriptor()), "");
}

TEST(ZipWriter, LinkBackToAnAncestorIsNotFollowedAgain) {
    TempFolder root;
    root.WriteFile("top.txt", "t");
    root.WriteFile("sub/a.txt", "a");
    ASSERT_EQ(::symlink("..", root.Child("sub/loop").c_str()), 0);
    ASSERT_EQ(::symlink(".", root.Child("sub/self").c_str()), 0);
    ASSERT_EQ(::mkfifo(root.Child("sub/pipe").c_str(), 0600), 0);
    TempFolder out;
    EXPECT_EQ(
        AsSet(test::PythonEntryNames(SaveArchive(out, test::ZipBytes(root.Path(), ZipSubfolders::Include)))),
        AsSet({"top.txt", "sub/a.txt"}));
}

TEST(ZipWriter, EntryTimeIsTheUtcLastWriteTime) {
    TempFolder root;
    const std::string file = root.WriteFile("dated.txt", "d");
    // 2021-06-15 10:20:31 UTC; the archive keeps even seconds.
    timespec times[2] = {{1623752431, 0}, {1623752431, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    TempFolder out;
    test::CommandResult run = test::RunCommand(
        "TZ=Asia/Tokyo python3 -c " +
        test::ShellQuote("import sys,zipfile; print(zipfile.ZipFile(sys.argv[1]).infolist()[0].date_time)") +
        " " + test::ShellQuote(SaveArchive(out, test::ZipBytes(root.Path(), ZipSubfolders::Skip))));
    EXPECT_EQ(run.output, "(2021, 6, 15, 10, 20, 30)\n");
}

TEST(ZipWriter, AbortEndsTheArchiveAfterTheLastCompleteEntry) {
    TempFolder root;
    // Whichever comes first, the abort finds another large file to stop in.
    for (const char* name : {"a.bin", "b.bin", "c.bin"})
        root.WriteFile(name, test::RandomBytes(8 * 1024 * 1024, name[0]));
    TempFile file = CreateTempFile(TempFileMode::DeleteOnClose);
    auto job = std::make_shared<ZipJob>();
    job->path = root.Path();
    job->descriptor = file.Descriptor();
    ASSERT_TRUE(StartZipWriter(job));
    // The first entry published, the abort arrives while some other is being compressed.
    job->WaitForMore(0, std::chrono::seconds(10));
    const auto asked = std::chrono::steady_clock::now();
    job->RequestAbort();
    job->WaitUntilDone();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(500));
    const ZipJob::State state = job->Current();
    EXPECT_FALSE(state.success);
    const std::string bytes = test::DescriptorContent(file.Descriptor());
    EXPECT_EQ(bytes.size(), state.finalLength);
    // Whole entries only: the local headers chain up to the end exactly.
    uint64_t offset = 0;
    while (offset < bytes.size()) {
        LocalHeaderFields fields;
        ASSERT_TRUE(ParseLocalHeader(std::string_view(bytes).substr(offset), fields));
        offset += kLocalHeaderSize + fields.nameLength + fields.extraLength + fields.entry.compressedSize;
    }
    EXPECT_EQ(offset, bytes.size());
    EXPECT_GT(offset, 0u);

    // An abort before the first entry leaves an empty file.
    TempFile early = CreateTempFile(TempFileMode::DeleteOnClose);
    ZipJob aborted;
    aborted.RequestAbort();
    EXPECT_EQ(ZipFolder(root.Path(), early.Descriptor(), ZipSubfolders::Include, aborted), kZipEntryFailed);
    EXPECT_EQ(test::DescriptorContent(early.Descriptor()), "");
}

}  // namespace
}  // namespace sarvo
