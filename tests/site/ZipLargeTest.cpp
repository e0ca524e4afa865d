#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "ZipTestSupport.h"
#include "platform/TempFile.h"
#include "site/ZipLayout.h"
#include "site/ZipWriter.h"
#include "support/TempFolder.h"

// Archives beyond the limits of the 32-bit layout: they take minutes and gigabytes of temporary
// space, so they run as a suite of their own.
namespace sarvo {
namespace {

using test::TempFolder;

// Archives into a named file beside the tree, so the tools can read it.
int ZipInto(const std::string& root, const std::string& archive) {
    const int descriptor = ::open(archive.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_GE(descriptor, 0);
    ZipJob job;
    const int result = ZipFolder(root, descriptor, ZipSubfolders::Include, job);
    ::close(descriptor);
    return result;
}

constexpr char kPythonSizes[] = R"PY(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for i in z.infolist():
        print(i.filename, i.file_size, i.compress_size, '%08x' % i.CRC, i.header_offset)
)PY";

TEST(ZipLarge, FileOfFourGibibytesAndMoreGetsZip64Sizes) {
    TempFolder root;
    TempFolder out;
    // Sparse: the disk holds next to nothing, and the data reads as zeros, then one byte.
    const uint64_t size = 0x100000001ULL;
    const std::string big = root.Child("big.bin");
    const int descriptor = ::open(big.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(descriptor, 0);
    ASSERT_EQ(::pwrite(descriptor, "x", 1, static_cast<off_t>(size - 1)), 1);
    ::close(descriptor);
    root.WriteFile("small.txt", "after the big one");

    const std::string archive = out.Child("big.zip");
    ASSERT_EQ(ZipInto(root.Path(), archive), kZipOk);
    // The CRC-32 of 2^32 zeros and an 'x', worked out with zlib in Python.
    const std::string expectedCrc =
        test::RunCommand(
            "python3 -c " +
            test::ShellQuote("import zlib\nc=0\nz=bytes(1<<24)\nfor i in range(256): c=zlib.crc32(z,c)\n"
                             "print('%08x' % zlib.crc32(b'x',c))"))
            .output;
    test::CommandResult sizes =
        test::RunCommand("python3 -c " + test::ShellQuote(kPythonSizes) + " " + test::ShellQuote(archive));
    ASSERT_EQ(sizes.exitCode, 0) << sizes.output;
    EXPECT_NE(sizes.output.find("big.bin 4294967297 "), std::string::npos) << sizes.output;
    EXPECT_NE(sizes.output.find(" " + expectedCrc.substr(0, 8) + " "), std::string::npos) << sizes.output;
    EXPECT_EQ(test::CheckWithForeignTools(archive, root.Path()), "");
}

TEST(ZipLarge, SixtyFiveThousandFiveHundredAndThirtyFiveEntriesGetTheZip64EndRecord) {
    TempFolder root;
    TempFolder out;
    constexpr int kCount = 0xFFFF;
    for (int i = 0; i < kCount; ++i)
        test::WriteWholeFile(root.Child("f/" + std::to_string(i)), std::to_string(i));
    const std::string archive = out.Child("many.zip");
    ASSERT_EQ(ZipInto(root.Path(), archive), kZipOk);
    const std::string bytes = test::ReadWholeFile(archive);
    const size_t endRecord = bytes.size() - kEndRecordSize - ZipArchiveComment().size();
    // The end record says "see the Zip64 record", which holds the real count.
    EXPECT_EQ(bytes.substr(endRecord, 12), std::string("PK\x05\x06\0\0\0\0\xff\xff\xff\xff", 12));
    EXPECT_EQ(bytes.substr(endRecord - kZip64LocatorSize, 4), "PK\x06\x07");
    test::CommandResult count = test::RunCommand(
        "python3 -c " +
        test::ShellQuote("import sys,zipfile; print(len(zipfile.ZipFile(sys.argv[1]).infolist()))") + " " +
        test::ShellQuote(archive));
    EXPECT_EQ(count.output, std::to_string(kCount) + "\n");
    EXPECT_EQ(test::CheckWithForeignTools(archive, root.Path()), "");
}

}  // namespace
}  // namespace sarvo
