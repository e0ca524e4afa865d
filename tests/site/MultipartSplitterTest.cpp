#include "site/MultipartSplitter.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ChildProcess.h"
#include "platform/TempFile.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

const std::string kBoundary = "----WebKitFormBoundaryq7R1xZ0aB3cD9eF2";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::string RandomBytes(size_t length, unsigned seed) {
    std::mt19937 generator(seed);
    std::string out(length, '\0');
    for (char& c : out)
        c = static_cast<char>(generator() & 0xFF);
    return out;
}

std::string PartHeader(const std::string& boundary, const std::string& fileName) {
    return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"fp\"; filename=\"" + fileName +
           "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
}

// One file part, its data and the CR LF that begins the next delimiter.
std::string Part(const std::string& boundary, const std::string& fileName, const std::string& data) {
    return PartHeader(boundary, fileName) + data + "\r\n";
}

std::string Closing(const std::string& boundary) {
    return "--" + boundary + "--\r\n";
}

TempFile Spool(const std::string& body) {
    TempFile file = CreateTempFile(TempFileMode::DeleteOnClose);
    EXPECT_TRUE(file.IsOpen());
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

TEST(MultipartSplitter, OnePartIsWrittenUnderItsBaseName) {
    TempFolder folder;
    const std::string data = "report body\r\n-- not a boundary\r\n";
    SplitOutcome outcome = SplitInto(Part(kBoundary, "report.pdf", data) + Closing(kBoundary), folder.Path());
    ASSERT_EQ(outcome.count, 1u);
    EXPECT_EQ(outcome.files[0].name, "report.pdf");
    EXPECT_EQ(outcome.files[0].BaseName(), "report.pdf");
    EXPECT_EQ(outcome.files[0].written, data.size());
    EXPECT_TRUE(outcome.files[0].complete);
    EXPECT_EQ(ReadFile(folder.Child("report.pdf")), data);
    EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"report.pdf"});
}

// Every placement of the delimiter across a read's end: a delimiter split between two reads must
// still be found, and no byte of it may reach the file. The copy reads from the start of the part's
// data, so the edges are counted from there: the design's 8192-byte reads, and the first and second
// copy block.
TEST(MultipartSplitter, DelimiterAtEveryOffsetAroundTheReadEdges) {
    TempFolder folder;
    const size_t delimiterLength = kBoundary.size() + 8;
    const std::string nextPart = "--" + kBoundary +
                                 "\r\nContent-Disposition: form-data; filename=\"next.txt\"\r\n\r\nN\r\n" +
                                 Closing(kBoundary);
    for (size_t edge : {kPartHeaderBlock, kPartCopyBlock, 2 * kPartCopyBlock}) {
        for (size_t length = edge - delimiterLength - 2; length <= edge + 2; ++length) {
            SCOPED_TRACE("edge " + std::to_string(edge) + ", data length " + std::to_string(length));
            const std::string data = RandomBytes(length, static_cast<unsigned>(length));
            // The part is the last one, or another follows.
            for (bool last : {true, false}) {
                SplitOutcome outcome =
                    SplitInto(Part(kBoundary, "edge.bin", data) + (last ? Closing(kBoundary) : nextPart),
                              folder.Path());
                ASSERT_EQ(outcome.count, last ? 1u : 2u);
                EXPECT_TRUE(outcome.files[0].complete);
                EXPECT_EQ(outcome.files[0].written, length);
                ASSERT_EQ(ReadFile(folder.Child("edge.bin")), data);
                if (!last) {
                    EXPECT_TRUE(outcome.files[1].complete);
                    EXPECT_EQ(ReadFile(folder.Child("next.txt")), "N");
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
        ASSERT_EQ(header.size(), headerLength);
        SplitOutcome outcome = SplitInto(header + "data\r\n" + Closing(kBoundary), folder.Path());
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
            SplitOutcome outcome =
                SplitInto(Part(kBoundary, "m.bin", data) + Closing(kBoundary), folder.Path());
            ASSERT_EQ(outcome.count, 1u);
            EXPECT_TRUE(outcome.files[0].complete);
            ASSERT_EQ(ReadFile(folder.Child("m.bin")), data);
        }
    }
}

TEST(MultipartSplitter, SeveralPartsInOrder) {
    TempFolder folder;
    const std::string a = RandomBytes(100000, 11);
    const std::string b;  // an empty file
    const std::string c = RandomBytes(600000, 12);
    const std::string body = Part(kBoundary, "a.bin", a) + Part(kBoundary, "b.txt", b) +
                             Part(kBoundary, "c.bin", c) + Closing(kBoundary);
    SplitOutcome outcome = SplitInto(body, folder.Path());
    ASSERT_EQ(outcome.count, 3u);
    const char* names[] = {"a.bin", "b.txt", "c.bin"};
    const std::string* contents[] = {&a, &b, &c};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(outcome.files[i].name, names[i]);
        EXPECT_TRUE(outcome.files[i].complete);
        EXPECT_EQ(outcome.files[i].written, contents[i]->size());
        EXPECT_EQ(ReadFile(folder.Child(names[i])), *contents[i]);
    }
}

TEST(MultipartSplitter, PartCutOffIsReportedIncompleteWithWhatWasWritten) {
    TempFolder folder;
    const std::string data = RandomBytes(300000, 21);
    struct Case {
        const char* description;
        std::string body;
        size_t records;
    } cases[] = {
        {"no delimiter at all", Part(kBoundary, "cut.bin", data), 1},
        {"closing delimiter cut short",
         PartHeader(kBoundary, "cut.bin") + data + "\r\n--" + kBoundary.substr(0, 10), 1},
        {"second part cut off", Part(kBoundary, "first.txt", "one") + PartHeader(kBoundary, "cut.bin") + data,
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        SplitOutcome outcome = SplitInto(c.body, folder.Path());
        ASSERT_EQ(outcome.count, c.records);
        const UploadedFile& cut = outcome.files.back();
        EXPECT_EQ(cut.BaseName(), "cut.bin");
        EXPECT_FALSE(cut.complete);
        const std::string stored = ReadFile(folder.Child("cut.bin"));
        EXPECT_EQ(stored.size(), cut.written);
        EXPECT_GT(stored.size(), 0u);
        EXPECT_EQ(data.compare(0, stored.size(), stored), 0)
            << "the partial file is not a prefix of the data";
        if (c.records == 2) {
            EXPECT_TRUE(outcome.files[0].complete);
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
        SplitOutcome outcome = SplitInto(Part(kBoundary, c.sent, "x") + Closing(kBoundary), folder.Path());
        ASSERT_EQ(outcome.count, 1u);
        EXPECT_EQ(outcome.files[0].name, c.sent);
        EXPECT_EQ(outcome.files[0].BaseName(), c.base);
        EXPECT_TRUE(outcome.files[0].complete);
        EXPECT_EQ(ReadFile(folder.Child(c.base)), "x");
    }
    EXPECT_EQ(FolderNames(folder.Path()),
              (std::vector<std::string>{"escape.txt", "escape2.txt", "name.txt", "photo.jpg", "report.pdf"}));
    EXPECT_FALSE(fs::exists(fs::path(folder.Path()).parent_path() / "escape.txt"));
}

TEST(MultipartSplitter, RefusedNamesWriteNothingAndTheNextPartStillArrives) {
    struct Case {
        const char* sent;
        const char* base;
    } cases[] = {
        {".", "."},
        {"..", ".."},
        {"C:\\..", ".."},
        {"a\tb.txt", "a\tb.txt"},
        {"<script>.txt", "<script>.txt"},
        {"quote\".txt", "quote"},  // the quote ends the quoted value
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sent);
        TempFolder folder;
        const std::string body = Part(kBoundary, c.sent, RandomBytes(20000, 5)) +
                                 Part(kBoundary, "after.txt", "fine") + Closing(kBoundary);
        SplitOutcome outcome = SplitInto(body, folder.Path());
        ASSERT_EQ(outcome.count, 2u);
        EXPECT_EQ(outcome.files[0].BaseName(), c.base);
        if (std::string(c.base) == "quote") {
            // Not a refused name at all: the browser's quote ended the value early.
            EXPECT_TRUE(outcome.files[0].complete);
            continue;
        }
        EXPECT_FALSE(outcome.files[0].complete);
        EXPECT_EQ(outcome.files[0].written, 0u);
        EXPECT_TRUE(outcome.files[1].complete);
        EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"after.txt"});
    }

    TempFolder folder;
    const std::string longName(kStoredNameMax + 1, 'n');
    SplitOutcome outcome = SplitInto(Part(kBoundary, longName, "x") + Closing(kBoundary), folder.Path());
    ASSERT_EQ(outcome.count, 1u);
    EXPECT_FALSE(outcome.files[0].complete);
    EXPECT_TRUE(FolderNames(folder.Path()).empty());
}

TEST(MultipartSplitter, AcceptableNamesTable) {
    struct Case {
        std::string name;
        bool acceptable;
    } cases[] = {
        {"report.pdf", true},
        {"...", true},
        {"..a", true},
        {".hidden", true},
        {"a b", true},
        {"", false},
        {".", false},
        {"..", false},
        {"a/b", false},
        {"a\\b", false},
        {"a\x01", false},
        {std::string("a\0b", 3), false},
        {"a\x7f", false},
        {"a\nb", false},
        {"a<b", false},
        {"a>b", false},
        {"a\"b", false},
        {"na\xc3\xafve", true},
        {std::string(255, 'x'), true},
        {std::string(256, 'x'), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsAcceptableUploadName(c.name), c.acceptable);
    }
}

TEST(MultipartSplitter, ExistingFileIsReplaced) {
    TempFolder folder;
    folder.WriteFile("report.pdf", std::string(50000, 'o'));
    SplitOutcome outcome =
        SplitInto(Part(kBoundary, "report.pdf", "new") + Closing(kBoundary), folder.Path());
    ASSERT_EQ(outcome.count, 1u);
    EXPECT_TRUE(outcome.files[0].complete);
    EXPECT_EQ(ReadFile(folder.Child("report.pdf")), "new");
}

TEST(MultipartSplitter, LinkInTheFolderIsNotFollowed) {
    TempFolder outside;
    const std::string victim = outside.WriteFile("victim.txt", "untouched");
    TempFolder folder;
    ASSERT_EQ(::symlink(victim.c_str(), folder.Child("report.pdf").c_str()), 0);
    SplitOutcome outcome = SplitInto(
        Part(kBoundary, "report.pdf", "overwrite") + Part(kBoundary, "later.txt", "l") + Closing(kBoundary),
        folder.Path());
    // A target that cannot be created ends the split.
    ASSERT_EQ(outcome.count, 1u);
    EXPECT_FALSE(outcome.files[0].complete);
    EXPECT_EQ(ReadFile(victim), "untouched");
    EXPECT_FALSE(fs::exists(folder.Child("later.txt")));
}

TEST(MultipartSplitter, WhatFollowsTheClosingDelimiterIsIgnored) {
    TempFolder folder;
    const std::string body = Part(kBoundary, "a.txt", "A") + Closing(kBoundary) +
                             Part(kBoundary, "evil.txt", "E") + Closing(kBoundary);
    SplitOutcome outcome = SplitInto(body, folder.Path());
    ASSERT_EQ(outcome.count, 1u);
    EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"a.txt"});
}

TEST(MultipartSplitter, BodiesThatYieldNoRecord) {
    struct Case {
        const char* description;
        std::string body;
        std::string boundary;
    } cases[] = {
        {"empty body", "", kBoundary},
        {"shorter than a boundary line", "--" + kBoundary.substr(0, 5), kBoundary},
        {"empty file field", Part(kBoundary, "", "") + Closing(kBoundary), kBoundary},
        {"a field without a file name",
         "--" + kBoundary + "\r\nContent-Disposition: form-data; name=\"text\"\r\n\r\nvalue\r\n" +
             Closing(kBoundary),
         kBoundary},
        {"part header without its end",
         "--" + kBoundary + "\r\nContent-Disposition: form-data; filename=\"a\"\r\n", kBoundary},
        {"part header longer than one read",
         "--" + kBoundary + "\r\nX-Pad: " + std::string(kPartHeaderBlock, 'p') +
             "\r\nContent-Disposition: form-data; filename=\"a\"\r\n\r\nx\r\n" + Closing(kBoundary),
         kBoundary},
        {"control byte in the part header",
         "--" + kBoundary + "\r\nContent-Disposition: form-data; filename=\"a\x01.txt\"\r\n\r\nx\r\n" +
             Closing(kBoundary),
         kBoundary},
        {"boundary over 4096 bytes", Part(std::string(4097, 'b'), "a", "x") + Closing(std::string(4097, 'b')),
         std::string(4097, 'b')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        TempFolder folder;
        SplitOutcome outcome = SplitInto(c.body, folder.Path(), c.boundary);
        EXPECT_EQ(outcome.count, 0u);
        EXPECT_TRUE(FolderNames(folder.Path()).empty());
    }
}

TEST(MultipartSplitter, LongestBoundaryAndEmptyBoundaryWork) {
    for (const std::string& boundary : {std::string(kMaxBoundaryLength, 'B'), std::string()}) {
        SCOPED_TRACE(boundary.size());
        TempFolder folder;
        const std::string data = RandomBytes(kPartCopyBlock + 100, 3);
        SplitOutcome outcome =
            SplitInto(Part(boundary, "a.bin", data) + Part(boundary, "b.txt", "b") + Closing(boundary),
                      folder.Path(), boundary);
        ASSERT_EQ(outcome.count, 2u);
        EXPECT_TRUE(outcome.files[0].complete);
        EXPECT_EQ(ReadFile(folder.Child("a.bin")), data);
        EXPECT_EQ(ReadFile(folder.Child("b.txt")), "b");
    }
}

TEST(MultipartSplitter, MissingFolderEndsTheSplitWithTheFirstPartFailed) {
    TempFolder parent;
    SplitOutcome outcome =
        SplitInto(Part(kBoundary, "a.txt", "A") + Closing(kBoundary), parent.Child("gone"));
    ASSERT_EQ(outcome.count, 1u);
    EXPECT_FALSE(outcome.files[0].complete);
    EXPECT_EQ(outcome.files[0].written, 0u);
}

// Disk full, played by a file size limit in a child process: the part that hits it is reported
// incomplete with what fitted, and the parts behind it are still split.
TEST(MultipartSplitter, WriteFailureFailsThatPartOnly) {
    TempFolder folder;
    constexpr rlim_t kLimit = 100000;
    const std::string big = RandomBytes(3 * kLimit, 31);
    const std::string body =
        Part(kBoundary, "big.bin", big) + Part(kBoundary, "small.txt", "small") + Closing(kBoundary);
    TempFile spool = Spool(body);
    const std::string report = test::RunInChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{kLimit, kLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return std::string("setrlimit failed");
        MultipartSplitter splitter;
        const size_t count = splitter.Split(spool.Descriptor(), kBoundary, folder.Path());
        std::string out = std::to_string(count);
        for (const UploadedFile& file : splitter.Files())
            out += " " + std::string(file.BaseName()) + ":" + std::to_string(file.written) + ":" +
                   (file.complete ? "OK" : "Failed");
        return out;
    });
    EXPECT_EQ(report, "2 big.bin:" + std::to_string(kLimit) + ":Failed small.txt:5:OK");
    EXPECT_EQ(ReadFile(folder.Child("small.txt")), "small");
}

TEST(MultipartSplitter, Utf8NameIsStoredInTheProcessCodePage) {
    TempFolder folder;
    const std::string report = test::RunInChild([&] {
        ::setenv("SARVO_CODEPAGE", "ISO-8859-1", 1);
        SplitOutcome outcome =
            SplitInto(Part(kBoundary, "na\xc3\xafve.txt", "n") + Closing(kBoundary), folder.Path());
        return outcome.count == 1 ? outcome.files[0].name : std::string("no record");
    });
    EXPECT_EQ(report, "na\xefve.txt");
    EXPECT_EQ(ReadFile(folder.Child("na\xefve.txt")), "n");
}

}  // namespace
}  // namespace sarvo
