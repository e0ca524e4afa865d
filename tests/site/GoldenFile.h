#pragma once

#include <string>

// Whole-page comparisons against files kept in tests/site/golden. Run a test with
// SARVO_UPDATE_GOLDEN=1 to write the file from what the code produces now, then read the difference
// before keeping it.
namespace sarvo::test {

// The response header with the values of Date, Last-Modified and Expires replaced by "<date>", so that
// the rest of it can be compared byte for byte.
std::string MaskDates(const std::string& header);

// Fails the test unless actual equals the golden file's bytes.
void ExpectMatchesGolden(const std::string& goldenName, const std::string& actual);

}  // namespace sarvo::test
