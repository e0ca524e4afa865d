#include "ProgressReport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace sarvo::pictorn {
namespace {

// The text written to a stream from std::tmpfile(), which is closed.
std::string CloseAndRead(std::FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) {
        text.push_back(static_cast<char>(c));
    }
    std::fclose(file);
    return text;
}

TEST(FormatProgressLine, ShowsCountSpeedAndTheFolderCutFromItsStartToFitTheTerminal) {
    EXPECT_EQ(FormatProgressLine(17, 300, 8.46, "/photos/2004", 80), "17/300 pictures  8.5/s  /photos/2004");
    EXPECT_EQ(FormatProgressLine(1, 2, 0.0, "/very/long/path/to/holiday", 40),
              "1/2 pictures  0.0/s  ...path/to/holiday");
    // No room at all for the folder leaves it out rather than printing a stump.
    EXPECT_EQ(FormatProgressLine(1, 2, 0.0, "/photos", 20), "1/2 pictures  0.0/s  ");
}

TEST(FormatSummary, CountsWhatWasDoneAndWhatWasNot) {
    // Total, done, skipped, folders, indexes written, removed and failed, seconds.
    RunCounts counts{300, 300, 2, 1, 1, 0, 0, 10.0};
    EXPECT_EQ(FormatSummary(counts),
              "pictorn: 298 of 300 pictures indexed in 1 folder, 10.0 s (30.0 pictures/s); 1 index written, "
              "2 pictures skipped\n");
    counts = {300, 100, 0, 3, 0, 1, 2, 10.0};
    EXPECT_EQ(
        FormatSummary(counts),
        "pictorn: 100 of 300 pictures indexed in 3 folders, 10.0 s (10.0 pictures/s); 0 indexes written, "
        "1 old index removed, 2 indexes not written, stopped early\n");
}

TEST(ProgressReport, LiveStyleRedrawsOneLineAndClearsItBeforeAProblem) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ProgressReport report(ProgressStyle::Live, out, err);
    report.Begin(1, 1);
    report.PictureStarted("/photos");
    report.PictureSkipped("/photos/bad.jpg", "damaged");
    report.Finish();
    const std::string text = CloseAndRead(err);
    EXPECT_NE(text.find("\r\033[K0/1 pictures"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\033[Kpictorn: skipped /photos/bad.jpg: damaged\n"), std::string::npos) << text;
    EXPECT_NE(text.find("1/1 pictures"), std::string::npos) << text;
    // The line is cleared before the summary, so the terminal is left with no half-line.
    EXPECT_EQ(text.substr(text.size() - 4), "\r\033[K");
    EXPECT_EQ(CloseAndRead(out).find('\r'), std::string::npos);
}

}  // namespace
}  // namespace sarvo::pictorn
