#include "ProgressReport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace sarvo::pictorn {
namespace {

// A stream the report writes to, read back as text.
class CapturedStream {
public:
    CapturedStream() : m_file(std::tmpfile()) {}
    ~CapturedStream() { std::fclose(m_file); }
    CapturedStream(const CapturedStream&) = delete;
    CapturedStream& operator=(const CapturedStream&) = delete;

    std::FILE* File() { return m_file; }
    std::string Text() {
        std::fflush(m_file);
        std::string text;
        std::rewind(m_file);
        for (int c; (c = std::fgetc(m_file)) != EOF;) {
            text.push_back(static_cast<char>(c));
        }
        return text;
    }

private:
    std::FILE* m_file;
};

TEST(FormatProgressLine, ShowsCountSpeedAndFolder) {
    EXPECT_EQ(FormatProgressLine(17, 300, 8.46, "/photos/2004", 80), "17/300 pictures  8.5/s  /photos/2004");
}

TEST(FormatProgressLine, CutsTheFolderFromItsStartToFitTheTerminal) {
    const std::string line = FormatProgressLine(1, 2, 0.0, "/very/long/path/to/holiday", 40);
    EXPECT_EQ(line, "1/2 pictures  0.0/s  ...path/to/holiday");
    EXPECT_EQ(line.size(), 39u);
    // No room at all for the folder leaves it out rather than printing a stump.
    EXPECT_EQ(FormatProgressLine(1, 2, 0.0, "/photos", 20), "1/2 pictures  0.0/s  ");
}

TEST(FormatSummary, CountsWhatWasDoneAndWhatWasNot) {
    RunCounts counts;
    counts.picturesTotal = 300;
    counts.picturesDone = 300;
    counts.picturesSkipped = 2;
    counts.folders = 1;
    counts.indexesWritten = 1;
    counts.seconds = 10.0;
    EXPECT_EQ(FormatSummary(counts),
              "pictorn: 298 of 300 pictures indexed in 1 folder, 10.0 s (30.0 pictures/s); 1 index written, "
              "2 pictures skipped\n");
    counts.picturesDone = 100;
    counts.picturesSkipped = 0;
    counts.folders = 3;
    counts.indexesWritten = 0;
    counts.indexesFailed = 2;
    counts.indexesRemoved = 1;
    EXPECT_EQ(
        FormatSummary(counts),
        "pictorn: 100 of 300 pictures indexed in 3 folders, 10.0 s (10.0 pictures/s); 0 indexes written, "
        "1 old index removed, 2 indexes not written, stopped early\n");
}

TEST(ProgressReport, QuietStylePrintsProblemsAndOneSummaryOnly) {
    CapturedStream out;
    CapturedStream err;
    ProgressReport report(ProgressStyle::Quiet, out.File(), err.File());
    report.Begin(2, 1);
    report.PictureStarted("/photos");
    report.PictureFinished();
    report.PictureSkipped("/photos/bad.jpg", "damaged");
    report.IndexWritten();
    const RunCounts counts = report.Finish();
    EXPECT_EQ(err.Text(), "pictorn: skipped /photos/bad.jpg: damaged\n");
    const std::string summary = out.Text();
    EXPECT_EQ(summary.rfind("pictorn: 1 of 2 pictures indexed in 1 folder", 0), 0u) << summary;
    EXPECT_EQ(counts.picturesDone, 2u);
    EXPECT_EQ(counts.picturesSkipped, 1u);
    EXPECT_EQ(counts.indexesWritten, 1u);
}

TEST(ProgressReport, LiveStyleRedrawsOneLineAndClearsItBeforeAProblem) {
    CapturedStream out;
    CapturedStream err;
    ProgressReport report(ProgressStyle::Live, out.File(), err.File());
    report.Begin(1, 1);
    report.PictureStarted("/photos");
    report.PictureSkipped("/photos/bad.jpg", "damaged");
    report.Finish();
    const std::string text = err.Text();
    EXPECT_NE(text.find("\r\033[K0/1 pictures"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\033[Kpictorn: skipped /photos/bad.jpg: damaged\n"), std::string::npos) << text;
    EXPECT_NE(text.find("1/1 pictures"), std::string::npos) << text;
    // The line is cleared before the summary, so the terminal is left with no half-line.
    EXPECT_EQ(text.substr(text.size() - 4), "\r\033[K");
    EXPECT_EQ(out.Text().find('\r'), std::string::npos);
}

}  // namespace
}  // namespace sarvo::pictorn
