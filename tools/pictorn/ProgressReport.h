#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

// What the person who started the tool sees. On a terminal one line is redrawn in place with the
// count, the speed and the folder at work; otherwise (the server starts the tool with its output going
// nowhere in particular, or a script logs it) only problems and one summary line are printed, so a
// log holds no carriage-return clutter.
namespace sarvo::pictorn {

enum class ProgressStyle { Live, Quiet };

struct RunCounts {
    size_t picturesTotal = 0;
    size_t picturesDone = 0;  // indexed or skipped
    size_t picturesSkipped = 0;
    size_t folders = 0;
    size_t indexesWritten = 0;
    size_t indexesRemoved = 0;
    size_t indexesFailed = 0;
    double seconds = 0;
};

// "17/300 pictures  8.5/s  <folder>", cut to columns characters by dropping the start of the folder
// path, which is the part that changes least between lines.
std::string FormatProgressLine(size_t done, size_t total, double perSecond, std::string_view folder,
                               size_t columns);

std::string FormatSummary(const RunCounts& counts);

// Called from every worker thread; one lock orders the lines.
class ProgressReport {
public:
    // Problems and the live line go to err, the summary to out.
    ProgressReport(ProgressStyle style, std::FILE* out, std::FILE* err);

    void Begin(size_t pictures, size_t folders);
    void PictureStarted(const std::string& folder);
    void PictureFinished();
    void PictureSkipped(const std::string& path, const std::string& reason);
    void Problem(const std::string& text);
    void IndexWritten();
    void IndexRemoved();
    void IndexFailed(const std::string& text);

    // Prints the summary and returns the counts.
    RunCounts Finish();

private:
    void ClearLineLocked();
    void DrawLocked(bool force);
    double SecondsLocked() const;

    ProgressStyle m_style;
    std::FILE* m_out;
    std::FILE* m_err;
    std::mutex m_lock;
    RunCounts m_counts;
    std::string m_folder;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw;
    bool m_lineShown = false;
};

// Set to "live" by a program that starts the tool with stderr on a pipe and reads the live line, as
// the desktop window's folder dialog does to show a progress bar.
inline constexpr char kProgressEnvironmentVariable[] = "PICTORN_PROGRESS";

// Live when stderr is a terminal or the environment asks for the live line.
ProgressStyle ProgressStyleForStderr();

}  // namespace sarvo::pictorn
