// End-to-end cases: the built pictorn binary over real pictures in a temporary folder, its index read
// back with the server's format code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestPictures.h"
#include "server/ThumbnailIndexFormat.h"
#include "support/TempFolder.h"

namespace sarvo::pictorn::test {
namespace {

namespace fs = std::filesystem;

const std::string kPictorn = PICTORN_PATH;

std::string IndexIn(const std::string& folder) {
    return folder + "/" + kThumbnailIndexName;
}

std::vector<std::string> Names(const std::vector<IndexEntry>& entries) {
    std::vector<std::string> names;
    for (const IndexEntry& entry : entries) {
        names.push_back(entry.header.name);
    }
    return names;
}

const IndexEntry* Find(const std::vector<IndexEntry>& entries, const std::string& name) {
    for (const IndexEntry& entry : entries) {
        if (entry.header.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

// Everything in a folder that is neither a picture the test made nor the index: a temporary index
// left behind would show up here.
std::vector<std::string> LeftoverFiles(const std::string& folder, const std::vector<std::string>& expected) {
    std::vector<std::string> leftovers;
    for (const auto& item : fs::directory_iterator(folder)) {
        const std::string name = item.path().filename().string();
        if (item.is_regular_file() && name != kThumbnailIndexName &&
            std::find(expected.begin(), expected.end(), name) == expected.end()) {
            leftovers.push_back(name);
        }
    }
    return leftovers;
}

class PictornCommand : public ::testing::Test {
protected:
    ChildResult Run(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {kPictorn};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunChild(argv, m_scratch.Path());
    }

    sarvo::test::TempFolder m_photos;
    sarvo::test::TempFolder m_scratch;
};

TEST_F(PictornCommand, IndexesEveryReadablePictureInNameOrderAndNamesTheBrokenOne) {
    ASSERT_TRUE(WritePicture(m_photos.Child("turned.jpg"), 400, 200, kRed, kBlue, 3, 6));
    ASSERT_TRUE(WritePicture(m_photos.Child("Beach.PNG"), 300, 150, kRed, kRed));
    ASSERT_TRUE(WritePicture(m_photos.Child("anim.gif"), 80, 40, kBlue, kBlue));
    m_photos.WriteFile("broken.jpg", "this is not a JPEG");
    m_photos.WriteFile("notes.txt", "not a picture either, and not looked at");

    const ChildResult result = Run({m_photos.Path(), "0"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("broken.jpg"), std::string::npos) << result.err;

    std::vector<IndexEntry> entries;
    ASSERT_TRUE(ReadIndex(IndexIn(m_photos.Path()), entries));
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"anim.gif", "Beach.PNG", "turned.jpg"}));
    for (const IndexEntry& entry : entries) {
        SCOPED_TRACE(entry.header.name);
        EXPECT_LE(entry.header.dimensionA, 120u);
        EXPECT_LE(entry.header.dimensionB, 120u);
        ASSERT_GE(entry.image.size(), 10u);
        EXPECT_EQ(std::string(entry.image.begin(), entry.image.begin() + 4), "GIF8");
        // The GIF's own logical screen size: width, then height, little-endian 16-bit.
        EXPECT_EQ(entry.image[6] | (entry.image[7] << 8), static_cast<int>(entry.header.dimensionB));
        EXPECT_EQ(entry.image[8] | (entry.image[9] << 8), static_cast<int>(entry.header.dimensionA));
    }
    const IndexEntry* beach = Find(entries, "Beach.PNG");
    ASSERT_NE(beach, nullptr);
    EXPECT_EQ(beach->header.dimensionB, 120u);
    EXPECT_EQ(beach->header.dimensionA, 60u);
    // A picture smaller than the box keeps its size.
    const IndexEntry* anim = Find(entries, "anim.gif");
    ASSERT_NE(anim, nullptr);
    EXPECT_EQ(anim->header.dimensionB, 80u);
    EXPECT_EQ(anim->header.dimensionA, 40u);
    EXPECT_TRUE(
        LeftoverFiles(m_photos.Path(), {"turned.jpg", "Beach.PNG", "anim.gif", "broken.jpg", "notes.txt"})
            .empty());
}

TEST_F(PictornCommand, ExifOrientationSixTurnsTheLeftHalfToTheTop) {
    ASSERT_TRUE(WritePicture(m_photos.Child("portrait.jpg"), 400, 200, kRed, kBlue, 3, 6));
    const ChildResult result = Run({m_photos.Path(), "0"});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    std::vector<IndexEntry> entries;
    ASSERT_TRUE(ReadIndex(IndexIn(m_photos.Path()), entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].header.dimensionB, 60u);   // width
    EXPECT_EQ(entries[0].header.dimensionA, 120u);  // height
    DecodedPicture preview;
    ASSERT_TRUE(DecodePicture(entries[0].image, preview));
    ASSERT_EQ(preview.width, 60);
    ASSERT_EQ(preview.height, 120);
    // Orientation 6 means "turn 90 degrees clockwise to view": the stored left half ends up on top.
    EXPECT_TRUE(ColourNear(preview.At(30, 20), kRed));
    EXPECT_TRUE(ColourNear(preview.At(30, 100), kBlue));
}

TEST_F(PictornCommand, TransparentPartsArePutOnWhite) {
    ASSERT_TRUE(WritePicture(m_photos.Child("logo.png"), 100, 100, kClear, kBlue, 4));
    const ChildResult result = Run({m_photos.Path(), "0"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::vector<IndexEntry> entries;
    ASSERT_TRUE(ReadIndex(IndexIn(m_photos.Path()), entries));
    ASSERT_EQ(entries.size(), 1u);
    DecodedPicture preview;
    ASSERT_TRUE(DecodePicture(entries[0].image, preview));
    EXPECT_TRUE(ColourNear(preview.At(10, 50), {255, 255, 255, 255}, 8));
    EXPECT_TRUE(ColourNear(preview.At(90, 50), kBlue));
}

TEST_F(PictornCommand, WithOneEverySubFolderGetsItsOwnIndex) {
    ASSERT_TRUE(WritePicture(m_photos.Child("top.jpg"), 64, 64, kRed, kRed));
    fs::create_directories(m_photos.Child("2004/summer"));
    ASSERT_TRUE(WritePicture(m_photos.Child("2004/a.jpg"), 64, 64, kRed, kRed));
    ASSERT_TRUE(WritePicture(m_photos.Child("2004/summer/b.png"), 64, 64, kBlue, kBlue));

    const ChildResult result = Run({m_photos.Path(), "1"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (const auto& [folder, name] :
         std::vector<std::pair<std::string, std::string>>{{m_photos.Path(), "top.jpg"},
                                                          {m_photos.Child("2004"), "a.jpg"},
                                                          {m_photos.Child("2004/summer"), "b.png"}}) {
        SCOPED_TRACE(folder);
        std::vector<IndexEntry> entries;
        ASSERT_TRUE(ReadIndex(IndexIn(folder), entries));
        EXPECT_EQ(Names(entries), std::vector<std::string>{name});
        EXPECT_TRUE(LeftoverFiles(folder, {name}).empty());
    }
}

TEST_F(PictornCommand, WithZeroSubFoldersAreLeftAlone) {
    ASSERT_TRUE(WritePicture(m_photos.Child("top.jpg"), 64, 64, kRed, kRed));
    fs::create_directories(m_photos.Child("2004"));
    ASSERT_TRUE(WritePicture(m_photos.Child("2004/a.jpg"), 64, 64, kRed, kRed));

    const ChildResult result = Run({m_photos.Path(), "0"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(fs::exists(IndexIn(m_photos.Path())));
    EXPECT_FALSE(fs::exists(IndexIn(m_photos.Child("2004"))));
}

TEST_F(PictornCommand, MissingFolderExitsWithTwoAndSaysSo) {
    const std::string missing = m_photos.Child("no such folder");
    const ChildResult result = Run({missing, "1"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find(missing), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("no such folder"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(missing));
}

TEST_F(PictornCommand, BadArgumentsExitWithTwo) {
    EXPECT_EQ(Run({}).exitCode, 2);
    EXPECT_EQ(Run({m_photos.Path(), "yes"}).exitCode, 2);
    EXPECT_EQ(Run({"--bogus"}).exitCode, 2);
    EXPECT_FALSE(fs::exists(IndexIn(m_photos.Path())));
}

TEST_F(PictornCommand, HelpNamesTheCommandLineAndExitsWithZero) {
    const ChildResult result = Run({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("pictorn FOLDER [1|0]"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("jpg"), std::string::npos) << result.out;
}

TEST_F(PictornCommand, AwayFromATerminalPrintsOnlyTheSummary) {
    ASSERT_TRUE(WritePicture(m_photos.Child("a.jpg"), 64, 64, kRed, kRed));
    ASSERT_TRUE(WritePicture(m_photos.Child("b.jpg"), 64, 64, kRed, kRed));
    const ChildResult result = Run({m_photos.Path(), "0"});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << result.out;
    EXPECT_NE(result.out.find("2 of 2 pictures"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find('\r'), std::string::npos);
}

TEST_F(PictornCommand, ReplacesAnOldIndexWhole) {
    m_photos.WriteFile(kThumbnailIndexName, std::string(5000, 'x'));
    ASSERT_TRUE(WritePicture(m_photos.Child("a.jpg"), 64, 64, kRed, kRed));
    ASSERT_EQ(Run({m_photos.Path(), "0"}).exitCode, 0);
    std::vector<IndexEntry> entries;
    ASSERT_TRUE(ReadIndex(IndexIn(m_photos.Path()), entries));
    EXPECT_EQ(Names(entries), std::vector<std::string>{"a.jpg"});
}

TEST_F(PictornCommand, FolderWithoutPicturesLosesItsOldIndex) {
    m_photos.WriteFile(kThumbnailIndexName, std::string(300, 'x'));
    m_photos.WriteFile("readme.txt", "no pictures here");
    const ChildResult result = Run({m_photos.Path(), "0"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(fs::exists(IndexIn(m_photos.Path())));
}

// Read-only media need a read-only mount. A bind mount made read-only inside a private mount
// namespace gives one without touching the machine's own mounts.
TEST_F(PictornCommand, FolderOnReadOnlyMediaGetsItsIndexInTheCacheFolder) {
    if (std::system("unshare --user --map-root-user --mount true >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no private mount namespace available here to make a read-only mount";
    }
    ASSERT_TRUE(WritePicture(m_photos.Child("disc.jpg"), 200, 100, kRed, kBlue));
    sarvo::test::ScopedSarvoHome home;
    const std::string mountPoint = home.Child("cdrom");
    fs::create_directories(mountPoint);
    const std::string script =
        "mount --bind \"$1\" \"$2\" && mount -o remount,bind,ro \"$2\" && exec \"$3\" \"$2\" 0";
    const ChildResult run = RunChild({"/usr/bin/unshare", "--user", "--map-root-user", "--mount", "/bin/sh",
                                      "-c", script, "sh", m_photos.Path(), mountPoint, kPictorn},
                                     m_scratch.Path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(fs::exists(IndexIn(m_photos.Path())));

    // <SARVO_HOME>/appdata/PIXINDEX/<eight hex digits>/pixindex.$$$: the mount point is the volume's
    // root, so no further folder levels follow the volume's own.
    std::vector<std::string> found;
    const std::string cache = home.Child("appdata/PIXINDEX");
    ASSERT_TRUE(fs::is_directory(cache));
    for (const auto& item : fs::recursive_directory_iterator(cache)) {
        if (item.path().filename() == kThumbnailIndexName) {
            found.push_back(fs::relative(item.path(), cache).string());
        }
    }
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].size(), 8u + 1u + std::string(kThumbnailIndexName).size()) << found[0];
    std::vector<IndexEntry> entries;
    ASSERT_TRUE(ReadIndex(cache + "/" + found[0], entries));
    EXPECT_EQ(Names(entries), std::vector<std::string>{"disc.jpg"});
}

}  // namespace
}  // namespace sarvo::pictorn::test
