#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "GoldenFile.h"
#include "SiteFiles.h"
#include "ZipTestSupport.h"
#include "platform/ChildProcess.h"
#include "platform/TempFile.h"
#include "server/HttpResponse.h"
#include "server/PathResolver.h"
#include "site/FolderZip.h"
#include "site/MultipartSplitter.h"
#include "site/PostFile.h"
#include "support/TempFolder.h"

namespace sarvo {
namespace {

ResolvedPath Folder(const std::string& share, const std::string& rest) {
    ResolvedPath path;
    path.kind = PathKind::SharedFolderDir;
    path.found = true;
    path.firstSegment = share;
    path.rest = rest;
    return path;
}

UploadedFile Record(const std::string& name, uint64_t written, bool complete, size_t baseOffset = 0) {
    UploadedFile file;
    file.name = name;
    file.baseOffset = baseOffset;
    file.written = written;
    file.complete = complete;
    return file;
}

// The process reads its code page once, so these run in children, and come first in the test program,
// before any test has made the test process read it.
TEST(UploadCodePage, NamesAreStoredInTheCodePageAndEchoedInUtf8) {
    test::TempFolder folder;
    const std::string stored = test::RunInChild([&] {
        ::setenv("SARVO_CODEPAGE", "ISO-8859-1", 1);
        const std::string boundary = "b";
        const std::string body =
            "--b\r\nContent-Disposition: form-data; name=\"fp\"; "
            "filename=\"na\xc3\xafve.txt\"\r\n\r\nn\r\n--b--\r\n";
        TempFile spool = CreateTempFile(TempFileMode::DeleteOnClose);
        if (::write(spool.Descriptor(), body.data(), body.size()) != static_cast<ssize_t>(body.size()))
            return std::string("spool failed");
        MultipartSplitter splitter;
        return splitter.Split(spool.Descriptor(), boundary, folder.Path()) == 1 ? splitter.Files()[0].name
                                                                                : std::string("no record");
    });
    EXPECT_EQ(stored, "na\xefve.txt");
    EXPECT_EQ(test::ReadWholeFile(folder.Child("na\xefve.txt")), "n");
    const std::string echoed = test::RunInChild([] {
        ::setenv("SARVO_CODEPAGE", "ISO-8859-1", 1);
        const std::vector<UploadedFile> files = {Record("na\xefve.txt", 1, true)};
        return UploadResultText(&files);
    });
    EXPECT_EQ(echoed, "1 Files: na\xc3\xafve.txt (1), OK");
}

TEST(PostFilePage, WholePages) {
    // Without a status the cell holds a blank; the sub-folder's link is escaped for the href.
    HttpResponse blank;
    BuildPostFilePage(blank, Folder("share", ""), "");
    test::ExpectMatchesGolden("post_file_blank.golden", test::MaskedResponse(blank));
    HttpResponse sub;
    BuildPostFilePage(sub, Folder("my share", "My Files#1/100%"), "1 Files: a.txt (1), OK");
    test::ExpectMatchesGolden("post_file_subfolder.golden", test::MaskedResponse(sub));
}

TEST(PostFilePage, ResultLines) {
    const std::vector<UploadedFile> several = {Record("C:\\docs\\a.bin", 1234567, true, 8),
                                               Record("cut.bin", 0, false), Record("", 0, false),
                                               Record("x.txt", 999, true)};
    const std::vector<UploadedFile> markup = {Record("<img src=x onerror=alert(1)>&\".txt", 5, false)};
    struct Case {
        const char* description;
        const std::vector<UploadedFile>* files;
        std::string expected;
    } cases[] = {
        // No splitter and no records: see the upload server tests.
        {"several, a nameless record skipped", &several,
         "3 Files: a.bin (1,234,567), OK; cut.bin (0), Failed; x.txt (999), OK"},
        {"markup in a name", &markup,
         "1 Files: &lt;img src=x onerror=alert(1)&gt;&amp;&quot;.txt (5), Failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(UploadResultText(c.files), c.expected);
    }
}

TEST(FolderZipHead, FolderNameIsTheLastComponent) {
    struct Case {
        const char* path;
        const char* name;
    } cases[] = {
        {"/home/u/Music", "Music"}, {"C:\\data\\Photos", "Photos"}, {"/a/b\\c", "c"}, {"plain", "plain"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ZipFolderName(c.path), c.name);
    }
}

}  // namespace
}  // namespace sarvo
