#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ChildProcess.h"
#include "server/HttpResponse.h"
#include "server/PathResolver.h"
#include "site/FolderZip.h"
#include "site/MultipartSplitter.h"
#include "site/PostFile.h"

namespace sarvo {
namespace {

using ::testing::ElementsAre;

const std::string kScript =
    "<SCRIPT LANGUAGE=\"JAVASCRIPT\">\r\nfunction clrst()\r\n{\r\nst.innerText=\"\";\r\n}\r\nfunction "
    "onsend()\r\n{\r\n"
    "st.innerText=\"Uploading, Please wait...\";\r\n}\r\n</SCRIPT>\r\n";

std::string PageHead() {
    HttpResponse frame;
    frame.BeginResponse(200);
    frame.BeginHtmlPage("Post a File", "#ffffff", kScript);
    return std::string(frame.BodyText());
}

std::string ExpectedPage(const std::string& link, const std::string& status) {
    return PageHead() +
           "<table cols=\"2\" rows=\"1\" border=\"0\" width=\"100%\" style=\"margin-top:24\">\r\n<tr>\r\n"
           "<td style=\"padding-top:24;padding-bottom:16\"><b>Post a file to: </b><a href=\"" +
           link + "\">" + link +
           "</a></td>\r\n"
           "<td noWrap width=\"300\" align=\"right\">Powered by <a "
           "href=\"https://keldanworks.example/sarvo/\" "
           "target=\"_blank\">Sarvo</a></td>\r\n"
           "</tr>\r\n</table>\r\n<table width=\"100%\" height=\"80%\" cols=\"1\" rows=\"3\">\r\n"
           "<tr><td height=\"16\" "
           "style=\"color:#ffffff;background-color:#0080ff;padding-top:3;padding-bottom:3\">"
           "Tip: Use [Browse...] to locate the file then click [Send Now].</td></tr>\r\n<tr>\r\n<td "
           "align=\"center\">\r\n"
           "<form ENCTYPE=\"multipart/form-data\" METHOD=\"POST\" name=\"fm\" onsubmit=\"onsend();\">\r\n"
           "File Path:<input TYPE=\"FILE\" name=\"fp\" id=\"path\" style=\"height:24;width:400\" "
           "onchange=\"clrst();\">"
           "&nbsp;<input TYPE=\"SUBMIT\" VALUE=\"Send Now\" id=\"send\" "
           "style=\"height:24;width:80\">\r\n</form>\r\n"
           "</td>\r\n</tr>\r\n<tr><td height=\"16\" id=\"st\" "
           "style=\"color:#ffff00;background-color:#0080ff;padding-top:3;padding-bottom:3\">" +
           status + "</td></tr>\r\n</table>\r\n</BODY>\r\n</HTML>";
}

ResolvedPath Folder(const std::string& share, const std::string& rest) {
    ResolvedPath path;
    path.kind = PathKind::SharedFolderDir;
    path.found = true;
    path.firstSegment = share;
    path.rest = rest;
    return path;
}

std::vector<std::string> HeaderNames(const HttpResponse& response) {
    std::vector<std::string> names;
    std::string_view header = response.HeaderText();
    size_t start = header.find("\r\n") + 2;
    while (start < header.size()) {
        const size_t end = header.find("\r\n", start);
        if (end == start)
            break;
        const std::string_view line = header.substr(start, end - start);
        names.emplace_back(line.substr(0, line.find(':')));
        start = end + 2;
    }
    return names;
}

TEST(PostFilePage, PageWithoutStatusHasABlankStatusCell) {
    HttpResponse response;
    BuildPostFilePage(response, Folder("share", ""), "");
    EXPECT_EQ(response.BodyText(), ExpectedPage("/share/", "&nbsp;"));
    EXPECT_EQ(response.HeaderText().substr(0, 17), "HTTP/1.1 200 OK\r\n");
    EXPECT_THAT(HeaderNames(response),
                ElementsAre("Date", "Server", "Last-Modified", "Expires", "Accept-Ranges", "Connection",
                            "Content-Type", "Content-Length"));
    EXPECT_NE(response.HeaderText().find(
                  "\r\nAccept-Ranges: bytes\r\nConnection: close\r\nContent-Type: text/html\r\n"),
              std::string::npos);
}

TEST(PostFilePage, SubFolderLinkIsEscapedForTheHref) {
    HttpResponse response;
    BuildPostFilePage(response, Folder("my share", "My Files#1/100%"), "1 Files: a.txt (1), OK");
    EXPECT_EQ(response.BodyText(),
              ExpectedPage("/my%20share/My%20Files%231/100%25/", "1 Files: a.txt (1), OK"));
}

UploadedFile Record(const std::string& name, size_t baseOffset, uint64_t written, bool complete) {
    UploadedFile file;
    file.name = name;
    file.baseOffset = baseOffset;
    file.written = written;
    file.complete = complete;
    return file;
}

TEST(PostFilePage, ResultLines) {
    const std::vector<UploadedFile> none;
    const std::vector<UploadedFile> one = {Record("report.pdf", 0, 12345, true)};
    const std::vector<UploadedFile> several = {Record("C:\\docs\\a.bin", 8, 1234567, true),
                                               Record("cut.bin", 0, 0, false), Record("", 0, 0, false),
                                               Record("x.txt", 0, 999, true)};
    const std::vector<UploadedFile> markup = {Record("<img src=x onerror=alert(1)>&\".txt", 0, 5, false)};
    struct Case {
        const char* description;
        const std::vector<UploadedFile>* files;
        std::string expected;
    } cases[] = {
        {"no splitter", nullptr, "No Files Received"},
        {"no records", &none, "0 Files: "},
        {"one file", &one, "1 Files: report.pdf (12,345), OK"},
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

TEST(PostFilePage, NamesAreEchoedInUtf8WhateverTheCodePage) {
    const std::string report = test::RunInChild([] {
        ::setenv("SARVO_CODEPAGE", "ISO-8859-1", 1);
        const std::vector<UploadedFile> files = {Record("na\xefve.txt", 0, 1, true)};
        return UploadResultText(&files);
    });
    EXPECT_EQ(report, "1 Files: na\xc3\xafve.txt (1), OK");
}

TEST(FolderZipHead, StreamHeadIsTheFixedText) {
    EXPECT_EQ(
        ZipStreamHead("My Folder", "Sun, 06 Nov 1994 08:49:37 GMT"),
        "HTTP/1.1 200 OK\r\nContent-Type: application/x-zip-compressed\r\nServer: Sarvo "
        "(https://keldanworks.example)\r\nTransfer-Encoding: chunked\r\nDate: Sun, 06 Nov 1994 08:49:37 "
        "GMT\r\nContent-Disposition: attachment; filename=\"My Folder.zip\"\r\n\r\n");
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
