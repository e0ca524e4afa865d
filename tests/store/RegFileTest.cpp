#include "store/RegFile.h"

#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "store/Folders.h"
#include "store/PublishedFiles.h"
#include "store/Registry.h"
#include "store/RegistryKeys.h"
#include "store/SiteSettings.h"
#include "store/StoreTest.h"
#include "store/Users.h"

namespace sarvo {
namespace {

// The whole product tree, a line per key and per value, keys depth first in enumeration order.
void Snapshot(const std::string& path, std::vector<std::string>& out) {
    out.push_back("[" + path + "]");
    for (const RegistryValue& value : ListValues(Hive::CurrentUser, path)) {
        out.push_back(value.name + "=" + std::to_string(static_cast<int>(value.type)) + ":" +
                      std::string(value.data.begin(), value.data.end()));
    }
    for (const std::string& child : ListSubkeys(Hive::CurrentUser, path))
        Snapshot(path + "\\" + child, out);
}

std::vector<std::string> SnapshotProduct() {
    std::vector<std::string> snapshot;
    Snapshot(kProductKey, snapshot);
    return snapshot;
}

class RegFileTest : public test::StoreTest {
protected:
    void Populate() {
        ASSERT_TRUE(SetMainPageTitle("Caf\xC3\xA9 \"quoted\" back\\slash"));
        ASSERT_TRUE(SetListenPort(8080));
        ASSERT_TRUE(WriteAutoBlockList(std::vector<uint8_t>(64, 0xAB)));
        ASSERT_TRUE(WriteSharedFolder({"Music", "Songs", "/home/owner/Music", true, false, true, true}));
        ASSERT_TRUE(WriteSharedFolder({"archive", "", "/srv/a", false, true, false, false}));
        ASSERT_TRUE(PublishFile("/var/log/app.log"));
        ASSERT_TRUE(SetUser("alice", "pa\"ss"));
        ASSERT_TRUE(WriteText(Hive::CurrentUser, kSettingsKey, "", "default value"));
    }
};

TEST_F(RegFileTest, ExportThenImportReproducesTheSameTree) {
    Populate();
    auto before = SnapshotProduct();
    std::string file = m_home.Child("export.reg");
    std::string error;
    ASSERT_TRUE(ExportRegFile(file, error)) << error;

    ASSERT_TRUE(DeleteKeyTree(Hive::CurrentUser, kProductKey));
    ASSERT_FALSE(FolderExists("Music"));
    ASSERT_TRUE(ImportRegFile(file, error)) << error;
    EXPECT_EQ(SnapshotProduct(), before);
}

TEST_F(RegFileTest, TheExportIsUtf16WithTheEditorsHeaderAndForms) {
    Populate();
    std::string file = m_home.Child("export.reg");
    std::string error;
    ASSERT_TRUE(ExportRegFile(file, error)) << error;
    std::string bytes = test::ReadWholeFile(file);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::string text = ConvertCodePage(std::string_view(bytes).substr(2), "UTF-16LE", "UTF-8");
    EXPECT_EQ(
        text.rfind(
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\KELDANWORKS\\Sarvo]",
            0),
        0u);
    EXPECT_NE(text.find("\"mainpagetitle\"=\"Caf\xC3\xA9 \\\"quoted\\\" back\\\\slash\"\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\"listen_port\"=dword:00001f90\r\n"), std::string::npos);
    EXPECT_NE(text.find("@=\"default value\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"AutoBlockList\"=hex:ab,ab,"), std::string::npos);
    EXPECT_NE(text.find(",\\\r\n  ab,"), std::string::npos) << "long hex lists wrap";
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\KELDANWORKS\\Sarvo\\Folders\\Music]\r\n"),
              std::string::npos);
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
}

TEST_F(RegFileTest, ImportsAnEditorFileInUtf16AndAnEightBitOne) {
    std::string content =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; exported on Windows\r\n"
        "[HKEY_CURRENT_USER\\Software\\KELDANWORKS\\Sarvo\\Folders\\Photos]\r\n"
        "\"desc\"=\"Holiday \xC3\xA9t\xC3\xA9\"\r\n"
        "\"folder\"=\"D:\\\\Pictures\"\r\n"
        "\"Visible\"=dword:00000001\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\KELDANWORKS\\Sarvo\\Settings]\r\n"
        "\"IPFilterList\"=hex:c0,a8,ff,ff,\\\r\n"
        "  0a,00,00,01\r\n"
        "\"IPFilterType\"=dword:2\r\n";
    std::string utf16 = "\xFF\xFE" + ConvertCodePage(content, "UTF-8", "UTF-16LE");
    std::string file = m_home.WriteFile("win.reg", utf16);
    std::string error;
    ASSERT_TRUE(ImportRegFile(file, error)) << error;
    std::string text;
    ASSERT_TRUE(GetFolderDescription("Photos", text));
    EXPECT_EQ(text, "Holiday \xC3\xA9t\xC3\xA9");
    ASSERT_TRUE(GetFolderLocation("Photos", text));
    EXPECT_EQ(text, "D:\\Pictures");
    EXPECT_EQ(ReadIpFilterList(), (std::vector<uint8_t>{192, 168, 255, 255, 10, 0, 0, 1}));
    EXPECT_EQ(ReadIpFilterType(), 2u);

    std::string regedit4 =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\KELDANWORKS\\Sarvo\\Settings]\n\"listen_port\"=dword:"
        "00000051\n"
        "\"IPFilterType\"=-\n";
    ASSERT_TRUE(ImportRegFile(m_home.WriteFile("old.reg", regedit4), error)) << error;
    EXPECT_EQ(GetListenPort(), 81);
    EXPECT_EQ(ReadIpFilterType(), 0u) << "the value was deleted";

    std::string removal =
        "Windows Registry Editor Version "
        "5.00\r\n\r\n[-HKEY_CURRENT_USER\\Software\\KELDANWORKS\\Sarvo\\Folders]\r\n";
    ASSERT_TRUE(ImportRegFile(m_home.WriteFile("rm.reg", removal), error)) << error;
    EXPECT_FALSE(FolderExists("Photos"));
}

TEST_F(RegFileTest, ABadLineIsNamedAndNothingChanges) {
    ASSERT_TRUE(SetListenPort(8080));
    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
    const std::string settings = "[HKEY_CURRENT_USER\\Software\\KELDANWORKS\\Sarvo\\Settings]\r\n";
    struct BadCase {
        const char* description;
        std::string content;
        const char* expectedLine;
    };
    const BadCase cases[] = {
        {"no header", "[HKEY_CURRENT_USER\\Software\\KELDANWORKS\\Sarvo]\r\n", "line 1:"},
        {"other tree", header + "[HKEY_CURRENT_USER\\Software\\Other]\r\n", "line 3:"},
        {"sibling with common prefix", header + "[HKEY_CURRENT_USER\\Software\\KELDANWORKS\\SarvoX]\r\n",
         "line 3:"},
        {"value before key", header + "\"a\"=\"b\"\r\n", "line 3:"},
        {"bad dword", header + settings + "\"listen_port\"=dword:00000050\r\n\"x\"=dword:zz\r\n", "line 5:"},
        {"long dword", header + settings + "\"x\"=dword:123456789\r\n", "line 4:"},
        {"expand string", header + settings + "\"x\"=hex(2):41,00\r\n", "line 4:"},
        {"bad hex byte", header + settings + "\"x\"=hex:01,2g\r\n", "line 4:"},
        {"open quote", header + settings + "\"x\"=\"abc\r\n", "line 4:"},
        {"bad escape", header + settings + "\"x\"=\"a\\nb\"\r\n", "line 4:"},
        {"no equals", header + settings + "\"x\" \"y\"\r\n", "line 4:"},
        {"unclosed key", header + "[HKEY_CURRENT_USER\\Software\\KELDANWORKS\\Sarvo\r\n", "line 3:"},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.description);
        std::string error;
        EXPECT_FALSE(ImportRegFile(m_home.WriteFile("bad.reg", c.content), error));
        EXPECT_EQ(error.rfind(c.expectedLine, 0), 0u) << error;
        EXPECT_EQ(GetListenPort(), 8080);
    }
    std::string error;
    EXPECT_FALSE(ImportRegFile(m_home.Child("missing.reg"), error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace sarvo
