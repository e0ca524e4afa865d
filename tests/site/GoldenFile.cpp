#include "GoldenFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

namespace sarvo::test {
namespace {

std::string GoldenPath(const std::string& name) {
    return std::string(SARVO_SITE_GOLDEN_DIR) + "/" + name;
}

}  // namespace

std::string MaskDates(const std::string& header) {
    static const std::regex kDateHeader("(\r\n(?:Date|Last-Modified|Expires): )[^\r]*");
    return std::regex_replace(header, kDateHeader, "$1<date>");
}

void ExpectMatchesGolden(const std::string& goldenName, const std::string& actual) {
    const std::string path = GoldenPath(goldenName);
    const char* update = std::getenv("SARVO_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << actual;
        ADD_FAILURE() << "wrote " << path << "; check it and run again without SARVO_UPDATE_GOLDEN";
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "missing golden file " << path;
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), actual) << goldenName;
}

}  // namespace sarvo::test
