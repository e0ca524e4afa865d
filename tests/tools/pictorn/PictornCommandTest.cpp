// End-to-end cases: the built pictorn binary over real pictures in a temporary folder, its index read
// back with the server's format code.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "support/TempFolder.h"
#include "thumbindex/ThumbnailIndexFormat.h"

namespace sarvo::pictorn::test {
namespace {

namespace fs = std::filesystem;

const std::string kPictorn = PICTORN_PATH;
constexpr Rgba kWhite = {255, 255, 255, 255};

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

// Every file in a folder, sorted: a temporary index left behind would show up here.
std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) {
        if (item.is_regular_file()) {
            names.push_back(item.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct ChildResult {
    int exitCode = -1;  // -1 when the program did not exit normally
    std::string out;
    std::string err;
};

std::string ReadAndRemove(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text(std::istreambuf_iterator<char>(in), {});
    std::remove(path.c_str());
    return text;
}

// The text in single quotes for /bin/sh, each single quote in it closed, escaped and reopened.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// argv[0] is the program's path. stdout and stderr go to files in scratchFolder, so neither is a
// terminal, as when the server starts the tool.
// environment is put before the command as NAME=value words.
ChildResult RunChild(const std::vector<std::string>& argv, const std::string& scratchFolder,
                     const std::string& environment = "") {
    const std::string outPath = scratchFolder + "/child.out";
    const std::string errPath = scratchFolder + "/child.err";
    std::string command = environment.empty() ? "exec" : environment + " exec";
    for (const std::string& arg : argv) {
        command += " " + Quoted(arg);
    }
    command += " </dev/null >" + Quoted(outPath) + " 2>" + Quoted(errPath);
    const int status = std::system(command.c_str());
    ChildResult result;
    if (status != -1 && WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    result.out = ReadAndRemove(outPath);
    result.err = ReadAndRemove(errPath);
    return result;
}

class PictornCommand : public ::testing::Test {
protected:
    ChildResult Run(const std::vector<std::string>& args, const std::string& environment = "") {
        std::vector<std::string> argv = {kPictorn};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunChild(argv, m_scratch.Path(), environment);
    }

    sarvo::test::TempFolder m_photos;
    sarvo::test::TempFolder m_scratch;
};

TEST_F(PictornCommand, IndexesEveryReadablePictureTurnedAndOnWhiteAndNamesTheBrokenOne) {
    // EXIF orientation 6 means "turn 90 degrees clockwise to view": the stored left half ends up on
    // top. Transparent parts are put on white. A picture smaller than the box keeps its size.
    WritePicture(m_photos.Child("turned.jpg"), 400, 200, kRed, kBlue, 3, 6);
    WritePicture(m_photos.Child("Beach.PNG"), 300, 150, kClear, kBlue, 4);
    WritePicture(m_photos.Child("anim.gif"), 80, 40, kBlue, kRed);
    m_photos.WriteFile("broken.jpg", "this is not a JPEG");
    m_photos.WriteFile("notes.txt", "not a picture either, and not looked at");

    const ChildResult result = Run({m_photos.Path(), "0"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    // Away from a terminal: one line per skipped picture on stderr, one summary line on stdout.
    EXPECT_EQ(result.err.rfind("pictorn: skipped ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("broken.jpg"), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << result.out;
    EXPECT_NE(result.out.find("3 of 4 pictures"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.find('\r'), std::string::npos);
    EXPECT_EQ(FilesIn(m_photos.Path()),
              (std::vector<std::string>{"Beach.PNG", "anim.gif", "broken.jpg", "notes.txt",
                                        kThumbnailIndexName, "turned.jpg"}));

    // Per entry in name order: preview width and height, then a point of the left and of the right half.
    struct Expected {
        int width, height, leftX, leftY;
        Rgba left;
        int rightX, rightY;
        Rgba right;
    };
    const Expected expected[] = {{80, 40, 10, 20, kBlue, 70, 20, kRed},
                                 {120, 60, 10, 30, kWhite, 110, 30, kBlue},
                                 {60, 120, 30, 20, kRed, 30, 100, kBlue}};
    std::vector<IndexEntry> entries;
    ASSERT_TRUE(ReadIndex(IndexIn(m_photos.Path()), entries));
    ASSERT_EQ(Names(entries), (std::vector<std::string>{"anim.gif", "Beach.PNG", "turned.jpg"}));
    for (size_t i = 0; i < entries.size(); ++i) {
        const Expected& want = expected[i];
        const IndexEntry& entry = entries[i];
        SCOPED_TRACE(entry.header.name);
        EXPECT_EQ(entry.header.dimensionB, static_cast<uint32_t>(want.width));
        EXPECT_EQ(entry.header.dimensionA, static_cast<uint32_t>(want.height));
        ASSERT_GE(entry.image.size(), 4u);
        EXPECT_EQ(std::string(entry.image.begin(), entry.image.begin() + 4), "GIF8");
        const DecodedPicture preview = DecodePicture(entry.image);
        ASSERT_EQ(preview.width, want.width);
        ASSERT_EQ(preview.height, want.height);
        EXPECT_TRUE(preview.Near(want.leftX, want.leftY, want.left));
        EXPECT_TRUE(preview.Near(want.rightX, want.rightY, want.right));
    }
}

TEST_F(PictornCommand, LiveLineOnAPipeWhenTheEnvironmentAsksForIt) {
    // The desktop window reads the count from the live line to show its progress bar.
    WritePicture(m_photos.Child("a.png"), 40, 40, kRed, kBlue);
    WritePicture(m_photos.Child("b.png"), 40, 40, kBlue, kRed);
    const ChildResult result = Run({m_photos.Path(), "0"}, "PICTORN_PROGRESS=live");
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("\r\033[K0/2 pictures"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("2/2 pictures"), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("2 of 2 pictures"), std::string::npos) << result.out;
}

TEST_F(PictornCommand, SubFoldersGetTheirOwnIndexOnlyWithOne) {
    for (const std::string flag : {"1", "0"}) {
        SCOPED_TRACE("flag " + flag);
        sarvo::test::TempFolder photos;
        fs::create_directories(photos.Child("2004/summer"));
        WritePicture(photos.Child("top.jpg"), 64, 64, kRed, kRed);
        WritePicture(photos.Child("2004/a.jpg"), 64, 64, kRed, kRed);
        WritePicture(photos.Child("2004/summer/b.png"), 64, 64, kBlue, kBlue);
        const ChildResult result = Run({photos.Path(), flag});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const bool one = flag == "1";
        std::vector<IndexEntry> entries;
        ASSERT_TRUE(ReadIndex(IndexIn(photos.Path()), entries));
        EXPECT_EQ(Names(entries), std::vector<std::string>{"top.jpg"});
        EXPECT_EQ(ReadIndex(IndexIn(photos.Child("2004")), entries), one);
        EXPECT_EQ(ReadIndex(IndexIn(photos.Child("2004/summer")), entries), one);
        EXPECT_EQ(Names(entries), one ? std::vector<std::string>{"b.png"} : std::vector<std::string>{});
        EXPECT_EQ(FilesIn(photos.Child("2004/summer")).size(), one ? 2u : 1u);
    }
}

TEST_F(PictornCommand, CommandLineMistakesExitWithTwoAndHelpWithZero) {
    const std::string missing = m_photos.Child("no such folder");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;  // text stderr must hold
        std::string out;  // text stdout must hold
    };
    // The parser's own table covers every refused form; here the exits and where the texts go.
    const Case cases[] = {
        {{missing, "1"}, 2, missing, ""},
        {{"--help"}, 0, "", "pictorn FOLDER [1|0]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "no arguments" : c.args[0]);
        const ChildResult result = Run(c.args);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
        EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
        EXPECT_EQ(result.exitCode == 2, !result.err.empty()) << result.err;
    }
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_FALSE(fs::exists(IndexIn(m_photos.Path())));
}

TEST_F(PictornCommand, OldIndexIsReplacedWholeAndRemovedWhenNoPictureIsLeft) {
    m_photos.WriteFile(kThumbnailIndexName, std::string(5000, 'x'));
    WritePicture(m_photos.Child("a.jpg"), 64, 64, kRed, kRed);
    ASSERT_EQ(Run({m_photos.Path(), "0"}).exitCode, 0);
    std::vector<IndexEntry> entries;
    ASSERT_TRUE(ReadIndex(IndexIn(m_photos.Path()), entries));
    EXPECT_EQ(Names(entries), std::vector<std::string>{"a.jpg"});

    fs::remove(m_photos.Child("a.jpg"));
    const ChildResult result = Run({m_photos.Path(), "0"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(fs::exists(IndexIn(m_photos.Path())));
}

}  // namespace
}  // namespace sarvo::pictorn::test
