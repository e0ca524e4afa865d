#include "site/MultipartSplitter.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <filesystem>
#include <string>
#include <vector>

#include "ZipTestSupport.h"
#include "platform/ChildProcess.h"
#include "platform/TempFile.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

namespace fs = std::filesystem;
using test::RandomBytes;
using test::ReadWholeFile;
using test::TempFolder;

const std::string kBoundary = "----WebKitFormBoundaryq7R1xZ0aB3cD9eF2";

std::string PartHeader(const std::string& boundary, const std::string& fileName) {
    return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"fp\"; filename=\"" + fileName +
           "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
}

// One file part, its data and the CR LF that begins the next delimiter.
std::string Part(const std::string& fileName, const std::string& data,
                 const std::string& boundary = kBoundary) {
    return PartHeader(boundary, fileName) + data + "\r\n";
}

std::string Closing(const std::string& boundary = kBoundary) {
    return "--" + boundary + "--\r\n";
}

TempFile Spool(const std::string& body) {
    TempFile file = CreateTempFile(TempFileMode::DeleteOnClose);
    EXPECT_EQ(::write(file.Descriptor(), body.data(), body.size()), static_cast<ssize_t>(body.size()));
    return file;
}

struct SplitOutcome {
    size_t count = 0;
    std::vector<UploadedFile> files;
};

SplitOutcome SplitInto(const std::string& body, const std::string& folder,
                       const std::string& boundary = kBoundary) {
    TempFile spool = Spool(body);
    MultipartSplitter splitter;
    SplitOutcome outcome;
    outcome.count = splitter.Split(spool.Descriptor(), boundary, folder);
    outcome.files = splitter.Files();
    return outcome;
}

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Every placement of the delimiter across a read's end: a delimiter split between two reads must
// still be found, and no byte of it may reach the file. The copy reads from the start of the part's
// data, so the edges are counted from there: the 8192-byte reads, and the first and second copy block.
TEST(MultipartSplitter, DelimiterAtEveryOffsetAroundTheReadEdges) {
    TempFolder folder;
    const size_t delimiterLength = kBoundary.size() + 8;
    const std::string nextPart = "--" + kBoundary +
                                 "\r\nContent-Disposition: form-data; filename=\"next.txt\"\r\n\r\nN\r\n" +
                                 Closing();
    for (size_t edge : {kPartHeaderBlock, kPartCopyBlock, 2 * kPartCopyBlock}) {
        for (size_t length = edge - delimiterLength - 2; length <= edge + 2; ++length) {
            SCOPED_TRACE("edge " + std::to_string(edge) + ", data length " + std::to_string(length));
            const std::string data = RandomBytes(length, static_cast<unsigned>(length));
            // The part is the last one, or another follows.
            for (bool last : {true, false}) {
                SplitOutcome outcome =
                    SplitInto(Part("edge.bin", data) + (last ? Closing() : nextPart), folder.Path());
                ASSERT_EQ(outcome.count, last ? 1u : 2u);
                EXPECT_TRUE(outcome.files[0].complete);
                EXPECT_EQ(outcome.files[0].written, length);
                ASSERT_EQ(ReadWholeFile(folder.Child("edge.bin")), data);
                if (!last) {
                    EXPECT_EQ(ReadWholeFile(folder.Child("next.txt")), "N");
                }
            }
        }
    }
}

TEST(MultipartSplitter, PartHeaderMustEndWithinTheFirstRead) {
    const std::string prefix =
        "--" + kBoundary + "\r\nContent-Disposition: form-data; filename=\"h.txt\"\r\nX-Pad: ";
    for (size_t headerLength : {kPartHeaderBlock - 1, kPartHeaderBlock, kPartHeaderBlock + 1}) {
        SCOPED_TRACE(headerLength);
        TempFolder folder;
        const std::string header = prefix + std::string(headerLength - prefix.size() - 4, 'p') + "\r\n\r\n";
        SplitOutcome outcome = SplitInto(header + "data\r\n" + Closing(), folder.Path());
        EXPECT_EQ(outcome.count, headerLength <= kPartHeaderBlock ? 1u : 0u);
        EXPECT_EQ(fs::exists(folder.Child("h.txt")), headerLength <= kPartHeaderBlock);
    }
}

TEST(MultipartSplitter, DataWithLineBreaksDashesAndBoundaryPiecesIsKept) {
    TempFolder folder;
    const std::string nearMisses[] = {
        "\r\n--" + kBoundary.substr(0, kBoundary.size() - 1) + "\r\n",  // a boundary one short
        "\r\n--" + kBoundary + "x\r\n",                                 // followed by a foreign byte
        "\r\n--" + kBoundary + "-\r\n",                                 // one dash only
        "\r\n--" + kBoundary + "\n",                                    // LF without CR
        "\n--" + kBoundary + "\r\n",                                    // no CR in front
        "\r\n-" + kBoundary + "\r\n",                                   // one dash in front
        "--" + kBoundary + "\r\n",                                      // no line break in front
        "\r\n\r\n--\r\n--\r\n\r\r\n",
    };
    for (const std::string& miss : nearMisses) {
        SCOPED_TRACE(miss);
        // Each near miss in the middle of the data, at its very start, and pressed against a copy
        // block's end, where the look-back for a delimiter begins.
        const std::string pad = RandomBytes(kPartCopyBlock - miss.size() - 3, 7);
        for (const std::string& data :
             {"abc" + miss + "xyz", miss, pad + miss + "tail", RandomBytes(100, 1) + miss}) {
            SplitOutcome outcome = SplitInto(Part("m.bin", data) + Closing(), folder.Path());
            ASSERT_EQ(outcome.count, 1u);
            EXPECT_TRUE(outcome.files[0].complete);
            ASSERT_EQ(ReadWholeFile(folder.Child("m.bin")), data);
        }
    }
}

TEST(MultipartSplitter, SeveralPartsInOrderAndNothingAfterTheClosingDelimiter) {
    TempFolder folder;
    const std::vector<std::pair<std::string, std::string>> parts = {
        {"a.bin", RandomBytes(100000, 11)}, {"b.txt", ""}, {"c.bin", RandomBytes(600000, 12)}};
    std::string body;
    for (const auto& [name, data] : parts)
        body += Part(name, data);
    SplitOutcome outcome = SplitInto(body + Closing() + Part("evil.txt", "E") + Closing(), folder.Path());
    ASSERT_EQ(outcome.count, 3u);
    for (size_t i = 0; i < parts.size(); ++i) {
        SCOPED_TRACE(parts[i].first);
        EXPECT_EQ(outcome.files[i].name, parts[i].first);
        EXPECT_TRUE(outcome.files[i].complete);
        EXPECT_EQ(outcome.files[i].written, parts[i].second.size());
        EXPECT_EQ(ReadWholeFile(folder.Child(parts[i].first)), parts[i].second);
    }
    EXPECT_EQ(FolderNames(folder.Path()), (std::vector<std::string>{"a.bin", "b.txt", "c.bin"}));
}

// A part that does not end leaves the folder as it was: no partial file, the old file of that name
// unchanged, and no hidden file left over. Its record still counts what was written of it.
TEST(MultipartSplitter, PartCutOffLeavesTheFolderAsItWas) {
    const std::string data = RandomBytes(300000, 21);
    struct Case {
        const char* description;
        std::string body;
        size_t records;
    } cases[] = {
        {"no delimiter at all", Part("cut.bin", data), 1},
        {"closing delimiter cut short",
         PartHeader(kBoundary, "cut.bin") + data + "\r\n--" + kBoundary.substr(0, 10), 1},
        {"second part cut off", Part("first.txt", "one") + PartHeader(kBoundary, "cut.bin") + data, 2},
    };
    for (bool existing : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.description) + (existing ? ", over an existing file" : ""));
            TempFolder folder;
            if (existing)
                folder.WriteFile("cut.bin", "old");
            SplitOutcome outcome = SplitInto(c.body, folder.Path());
            ASSERT_EQ(outcome.count, c.records);
            EXPECT_TRUE(outcome.files[0].complete || c.records == 1);
            const UploadedFile& cut = outcome.files.back();
            EXPECT_EQ(cut.BaseName(), "cut.bin");
            EXPECT_FALSE(cut.complete);
            EXPECT_GT(cut.written, 0u);
            std::vector<std::string> expected;
            if (existing)
                expected.push_back("cut.bin");
            if (c.records == 2)
                expected.push_back("first.txt");
            EXPECT_EQ(FolderNames(folder.Path()), expected);
            if (existing) {
                EXPECT_EQ(ReadWholeFile(folder.Child("cut.bin")), "old");
            }
        }
    }
}

TEST(MultipartSplitter, ClientPathsKeepOnlyTheBaseName) {
    TempFolder folder;
    struct Case {
        const char* sent;
        const char* base;
    } cases[] = {
        {"C:\\docs\\report.pdf", "report.pdf"}, {"/home/visitor/photo.jpg", "photo.jpg"},
        {"..\\..\\escape.txt", "escape.txt"},   {"../../escape2.txt", "escape2.txt"},
        {"mixed/dir\\name.txt", "name.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sent);
        SplitOutcome outcome = SplitInto(Part(c.sent, "x") + Closing(), folder.Path());
        ASSERT_EQ(outcome.count, 1u);
        EXPECT_EQ(outcome.files[0].name, c.sent);
        EXPECT_EQ(outcome.files[0].BaseName(), c.base);
        EXPECT_EQ(ReadWholeFile(folder.Child(c.base)), "x");
    }
    EXPECT_EQ(FolderNames(folder.Path()),
              (std::vector<std::string>{"escape.txt", "escape2.txt", "name.txt", "photo.jpg", "report.pdf"}));
}

TEST(MultipartSplitter, RefusedNamesWriteNothingAndTheNextPartStillArrives) {
    struct Case {
        std::string sent;
        std::string base;
    } cases[] = {
        {".", "."},
        {"..", ".."},
        {"C:\\..", ".."},
        {"a\tb.txt", "a\tb.txt"},
        {"<script>.txt", "<script>.txt"},
        {std::string(kStoredNameMax + 1, 'n'), std::string(kStoredNameMax + 1, 'n')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sent);
        TempFolder folder;
        SplitOutcome outcome = SplitInto(
            Part(c.sent, RandomBytes(20000, 5)) + Part("after.txt", "fine") + Closing(), folder.Path());
        ASSERT_EQ(outcome.count, 2u);
        EXPECT_EQ(outcome.files[0].BaseName(), c.base);
        EXPECT_FALSE(outcome.files[0].complete);
        EXPECT_EQ(outcome.files[0].written, 0u);
        EXPECT_TRUE(outcome.files[1].complete);
        EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"after.txt"});
    }
    // Not a refused name at all: the browser's quote ends the quoted value early.
    TempFolder folder;
    SplitOutcome outcome = SplitInto(Part("quote\".txt", "q") + Closing(), folder.Path());
    ASSERT_EQ(outcome.count, 1u);
    EXPECT_EQ(outcome.files[0].BaseName(), "quote");
    EXPECT_TRUE(outcome.files[0].complete);

    struct Name {
        std::string name;
        bool acceptable;
    } names[] = {{"report.pdf", true},
                 {"...", true},
                 {"..a", true},
                 {".hidden", true},
                 {"a b", true},
                 {"", false},
                 {"a/b", false},
                 {"a\\b", false},
                 {"a\x01", false},
                 {std::string("a\0b", 3), false},
                 {"a\x7f", false},
                 {"a>b", false},
                 {"a\"b", false},
                 {"na\xc3\xafve", true},
                 {std::string(255, 'x'), true}};
    for (const Name& n : names) {
        SCOPED_TRACE(n.name);
        EXPECT_EQ(IsAcceptableUploadName(n.name), n.acceptable);
    }
}

TEST(MultipartSplitter, LinkInTheFolderIsNotFollowed) {
    TempFolder outside;
    const std::string victim = outside.WriteFile("victim.txt", "untouched");
    TempFolder folder;
    ASSERT_EQ(::symlink(victim.c_str(), folder.Child("report.pdf").c_str()), 0);
    SplitOutcome outcome =
        SplitInto(Part("report.pdf", "overwrite") + Part("later.txt", "l") + Closing(), folder.Path());
    // A target that cannot be created ends the split.
    ASSERT_EQ(outcome.count, 1u);
    EXPECT_FALSE(outcome.files[0].complete);
    EXPECT_EQ(ReadWholeFile(victim), "untouched");
    EXPECT_FALSE(fs::exists(folder.Child("later.txt")));

    // So does a missing folder, with the first part failed.
    outcome = SplitInto(Part("a.txt", "A") + Closing(), outside.Child("gone"));
    ASSERT_EQ(outcome.count, 1u);
    EXPECT_FALSE(outcome.files[0].complete);
}

TEST(MultipartSplitter, BodiesThatYieldNoRecord) {
    const std::string longBoundary(kMaxBoundaryLength + 1, 'b');
    struct Case {
        const char* description;
        std::string body;
        std::string boundary;
    } cases[] = {
        {"empty body", "", kBoundary},
        {"shorter than a boundary line", "--" + kBoundary.substr(0, 5), kBoundary},
        {"a field without a file name",
         "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"text\"\r\n\r\nvalue\r\n" + Closing(),
         kBoundary},
        {"part header without its end",
         "--" + kBoundary + "\r\nContent-Disposition: form-data; filename=\"a\"\r\n", kBoundary},
        {"control byte in the part header",
         "--" + kBoundary + "\r\nContent-Disposition: form-data; filename=\"a\x01.txt\"\r\n\r\nx\r\n" +
             Closing(),
         kBoundary},
        {"boundary too long", Part("a", "x", longBoundary) + Closing(longBoundary), longBoundary},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TempFolder folder;
        EXPECT_EQ(SplitInto(c.body, folder.Path(), c.boundary).count, 0u);
        EXPECT_TRUE(FolderNames(folder.Path()).empty());
    }
    // The longest boundary and the empty one still work.
    for (const std::string& boundary : {std::string(kMaxBoundaryLength, 'B'), std::string()}) {
        SCOPED_TRACE(boundary.size());
        TempFolder folder;
        const std::string data = RandomBytes(kPartCopyBlock + 100, 3);
        SplitOutcome outcome =
            SplitInto(Part("a.bin", data, boundary) + Part("b.txt", "b", boundary) + Closing(boundary),
                      folder.Path(), boundary);
        ASSERT_EQ(outcome.count, 2u);
        EXPECT_EQ(ReadWholeFile(folder.Child("a.bin")), data);
        EXPECT_EQ(ReadWholeFile(folder.Child("b.txt")), "b");
    }
}

// Disk full, played by a file size limit in a child process: the part that hits it is reported
// incomplete with what fitted, and the parts behind it are still split.
TEST(MultipartSplitter, WriteFailureFailsThatPartOnly) {
    TempFolder folder;
    folder.WriteFile("big.bin", "old");
    constexpr rlim_t kLimit = 100000;
    TempFile spool =
        Spool(Part("big.bin", RandomBytes(3 * kLimit, 31)) + Part("small.txt", "small") + Closing());
    const std::string report = test::RunInChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{kLimit, kLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return std::string("setrlimit failed");
        MultipartSplitter splitter;
        std::string out = std::to_string(splitter.Split(spool.Descriptor(), kBoundary, folder.Path()));
        for (const UploadedFile& file : splitter.Files())
            out += " " + std::string(file.BaseName()) + ":" + std::to_string(file.written) + ":" +
                   (file.complete ? "OK" : "Failed");
        return out;
    });
    EXPECT_EQ(report, "2 big.bin:" + std::to_string(kLimit) + ":Failed small.txt:5:OK");
    EXPECT_EQ(ReadWholeFile(folder.Child("small.txt")), "small");
    // The failed part left the old file as it was and nothing beside it.
    EXPECT_EQ(ReadWholeFile(folder.Child("big.bin")), "old");
    EXPECT_EQ(FolderNames(folder.Path()), (std::vector<std::string>{"big.bin", "small.txt"}));
}

// The size of the file a process is writing below folder (found through its descriptors), or -1
// while it has none open there.
off_t SizeOfFileBeingWritten(pid_t process, const std::string& folder) {
    const std::string descriptors = "/proc/" + std::to_string(process) + "/fd";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(descriptors, error)) {
        const std::string target = fs::read_symlink(entry.path(), error).string();
        struct stat info {};
        if (!error && target.starts_with(folder + "/") && ::stat(entry.path().c_str(), &info) == 0 &&
            S_ISREG(info.st_mode))
            return info.st_size;
    }
    return -1;
}

// A server killed while it writes an upload: the old file of that name is as it was, and no partial
// file, under any name, is left in the folder.
TEST(MultipartSplitter, UploadKilledMidWriteLeavesTheOldFile) {
    TempFolder folder;
    folder.WriteFile("big.bin", "old");
    // A part of 512 MiB of zeros that never ends, kept sparse in the spool.
    TempFile spool = Spool(PartHeader(kBoundary, "big.bin"));
    ASSERT_EQ(::ftruncate(spool.Descriptor(), off_t{512} << 20), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        MultipartSplitter splitter;
        splitter.Split(spool.Descriptor(), kBoundary, folder.Path());
        ::_exit(0);
    }
    off_t seen = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (seen <= 0 && std::chrono::steady_clock::now() < deadline) {
        seen = SizeOfFileBeingWritten(child, folder.Path());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_GT(seen, 0) << "the upload was never seen being written";
    ASSERT_TRUE(WIFSIGNALED(status)) << "the split ended before it was killed";
    EXPECT_EQ(FolderNames(folder.Path()), (std::vector<std::string>{"big.bin"}));
    EXPECT_EQ(ReadWholeFile(folder.Child("big.bin")), "old");
}

}  // namespace
}  // namespace sarvo
