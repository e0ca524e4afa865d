#include "platform/ContentType.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TempFolder.h"

namespace sarvo {
namespace {

TEST(ContentTypeTest, TheKeyRunsFromTheFirstDot) {
    const std::pair<const char*, const char*> cases[] = {
        {"photo.jpg", ".jpg"},
        {"photo.2005.jpg", ".2005.jpg"},
        {"archive.tar.gz", ".tar.gz"},
        {"README", ".README"},
        {".bashrc", ".bashrc"},
        {"file.", "."},
        {"", "."},
    };
    for (auto [name, key] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ContentTypeKey(name), key);
    }
}

class ContentTypeTableTest : public ::testing::Test {
protected:
    static std::string TypeOfLength(size_t length) {
        std::string type = "application/";
        type.append(length - type.size(), 'x');
        return type;
    }

    ContentTypeTable LoadSample() {
        std::string text =
            "# media types for the test\n"
            "\n"
            "text/html\t\thtml htm\n"
            "image/jpeg   jpeg jpg   # the common ones\n"
            "application/x-first dup\n"
            "application/x-second dup other\n"
            "not-a-type foo\n"
            "text/plain\n"
            "application/with-dot .dotted\n"
            "image/png\tpng\r\n"
            "  # an indented comment png2\n" +
            TypeOfLength(kContentTypeBufferSize - 1) + " fits\n" + TypeOfLength(kContentTypeBufferSize) +
            " toolong\n"
            "video/webm webm";
        std::string path = m_folder.WriteFile("mime.types", text);
        std::optional<ContentTypeTable> table = ContentTypeTable::FromFile(path);
        EXPECT_TRUE(table.has_value());
        return table ? std::move(*table) : ContentTypeTable();
    }

    test::TempFolder m_folder;
};

TEST_F(ContentTypeTableTest, LooksUpFileNamesInATableReadFromAFile) {
    ContentTypeTable table = LoadSample();
    const std::string fits = TypeOfLength(kContentTypeBufferSize - 1);
    const std::pair<const char*, std::string> cases[] = {
        {"index.html", "text/html"},
        {"INDEX.HTM", "text/html"},
        {"photo.JPG", "image/jpeg"},
        {"photo.jpeg", "image/jpeg"},
        // The key includes everything after the first dot, so this is not a .jpg.
        {"photo.2005.jpg", kUnknownContentType},
        {"README", kUnknownContentType},
        {"name.", kUnknownContentType},
        {"first.dup", "application/x-first"},
        {"second.other", "application/x-second"},
        {"skipped.foo", kUnknownContentType},
        {"comment.the", kUnknownContentType},
        {"comment.png2", kUnknownContentType},
        {"dotted.dotted", "application/with-dot"},
        {"crlf.png", "image/png"},
        {"long.fits", fits},
        {"long.toolong", kUnknownContentType},
        {"last.webm", "video/webm"},
    };
    for (const auto& [name, type] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(table.Lookup(name), type);
    }
    EXPECT_EQ(table.Size(), 10u);
    // Find takes the key with its dot.
    EXPECT_EQ(table.Find(".JPEG"), "image/jpeg");
    EXPECT_EQ(table.Find("jpeg"), "");
}

TEST_F(ContentTypeTableTest, AMissingFileGivesNoTable) {
    EXPECT_FALSE(ContentTypeTable::FromFile(m_folder.Child("missing.types")).has_value());
    EXPECT_FALSE(ContentTypeTable::FromFile(m_folder.Path()).has_value());
}

// The built-in table is a list of pairs; a sample shows it is reached and keyed like a loaded one.
TEST(ContentTypeTest, TheBuiltInTableKnowsTheCommonTypes) {
    ContentTypeTable table = ContentTypeTable::BuiltIn();
    const std::pair<const char*, const char*> cases[] = {
        {"a.htm", "text/html"},         {"a.JPEG", "image/jpeg"},
        {"a.mp4", "video/mp4"},         {"a.tar.gz", kUnknownContentType},
        {"a.exe", kUnknownContentType},
    };
    for (auto [name, type] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(table.Lookup(name), type);
    }
}

TEST(ContentTypeTest, SystemLookupUsesMimeTypesOrTheBuiltInTable) {
    std::optional<ContentTypeTable> system = ContentTypeTable::FromFile(kSystemMimeTypesPath);
    const ContentTypeTable expected = system ? std::move(*system) : ContentTypeTable::BuiltIn();
    EXPECT_EQ(SystemContentTypes().Size(), expected.Size());
    // True of mime.types and of the built-in table alike.
    EXPECT_EQ(LookupContentType("page.html"), "text/html");
    EXPECT_EQ(LookupContentType("photo.2005.jpg"), kUnknownContentType);
    EXPECT_EQ(LookupContentType("Makefile"), kUnknownContentType);
}

}  // namespace
}  // namespace sarvo
