#include <gtest/gtest.h>
#include <stdlib.h>

#include <set>
#include <sstream>
#include <string>

#include "ZipTestSupport.h"
#include "platform/ChildProcess.h"
#include "site/FolderZip.h"
#include "site/ZipLayout.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

using test::TempFolder;

constexpr char kLatin[] = "caf\xC3\xA9.txt";
constexpr char kCjk[] = "\xE6\xBC\xA2\xE5\xAD\x97.txt";
constexpr char kLatinFolder[] = "\xC3\xA9t\xC3\xA9/plain.txt";

// "<utf-8 flag> <name as the reader decoded it>" for every entry, as Python's zipfile reads them.
constexpr char kPythonFlagsAndNames[] = R"PY(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for i in z.infolist():
        print(1 if i.flag_bits & 0x800 else 0, i.filename)
)PY";

std::multiset<std::string> Lines(const std::string& text) {
    std::multiset<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.insert(line);
    return lines;
}

// Without the UTF-8 flag, zipfile shows "caf├⌐.txt" and unzip extracts "caf+�.txt".
TEST(ZipNames, ForeignReadersShowEveryNameAsOnDisk) {
    TempFolder root;
    for (const char* name : {"plain.txt", kLatin, kCjk, kLatinFolder})
        root.WriteFile(name, name);
    TempFolder out;
    const std::string archive = out.Child("names.zip");
    test::WriteWholeFile(archive, test::ZipBytes(root.Path(), ZipSubfolders::Include));

    test::CommandResult python =
        test::RunCommand("PYTHONIOENCODING=utf-8 python3 -c " + test::ShellQuote(kPythonFlagsAndNames) + " " +
                         test::ShellQuote(archive));
    ASSERT_EQ(python.exitCode, 0) << python.output;
    EXPECT_EQ(Lines(python.output),
              (std::multiset<std::string>{"0 plain.txt", std::string("1 ") + kLatin, std::string("1 ") + kCjk,
                                          std::string("1 ") + kLatinFolder}));

    test::CommandResult unzip = test::RunCommand("LC_ALL=C.UTF-8 unzip -Z1 " + test::ShellQuote(archive));
    ASSERT_EQ(unzip.exitCode, 0) << unzip.output;
    EXPECT_EQ(Lines(unzip.output), (std::multiset<std::string>{"plain.txt", kLatin, kCjk, kLatinFolder}));
}

TEST(ZipNames, ForeignBytesAndTheFlaggedHeader) {
    // ASCII and UTF-8 names are read back by the foreign readers above; other bytes are kept unflagged.
    uint16_t flags = 0;
    EXPECT_EQ(ZipEntryName("bad\xFF.txt", flags), "bad\xFF.txt");
    EXPECT_EQ(flags, 0);
    // Info-ZIP unzip reads a flagged name as OEM text when the entry says it was made on FAT.
    ZipEntryHeader entry;
    entry.flags = kZipFlagUtf8Name;
    EXPECT_EQ(BuildLocalHeader(entry, kLatin).substr(6, 2), std::string("\x00\x08", 2));
    EXPECT_EQ(BuildCentralHeader(entry, kLatin, 0).substr(4, 6), std::string("\x0B\x0B\x0B\x00\x00\x08", 6));
}

TEST(ZipNames, NamesInAnotherCodePageAreStoredInUtf8) {
    const std::string report = test::RunInChild([] {
        ::setenv("SARVO_CODEPAGE", "CP1252", 1);
        uint16_t latinFlags = 0;
        uint16_t asciiFlags = 0;
        const std::string latin = ZipEntryName("caf\xE9.txt", latinFlags);
        const std::string ascii = ZipEntryName("plain.txt", asciiFlags);
        return latin + " " + std::to_string(latinFlags) + " " + ascii + " " + std::to_string(asciiFlags);
    });
    EXPECT_EQ(report, std::string(kLatin) + " 2048 plain.txt 0");
}

TEST(ZipNames, DownloadNameCarriesTheExtendedFormOnlyWhenNotAscii) {
    // The plain form alone is checked on the wire, where the whole header value is compared.
    const std::string head = ZipStreamHead("\xC3\xA9t\xC3\xA9 2024", "Mon, 07 Dec 2026 06:00:00 GMT");
    EXPECT_NE(
        head.find("filename=\"\xC3\xA9t\xC3\xA9 2024.zip\"; filename*=UTF-8''%C3%A9t%C3%A9%202024.zip\r\n"),
        std::string::npos)
        << head;
}

}  // namespace
}  // namespace sarvo
