#include "ProgressReport.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

#include "common/Format.h"

namespace sarvo::pictorn {

namespace {

// Ten redraws a second look continuous and cost nothing next to decoding a photo.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr size_t kDefaultColumns = 80;
constexpr std::string_view kEllipsis = "...";

size_t TerminalColumns(std::FILE* stream) {
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return kDefaultColumns;
}

std::string Plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string FormatProgressLine(size_t done, size_t total, double perSecond, std::string_view folder,
                               size_t columns) {
    std::string line = Format("%zu/%zu pictures  %.1f/s  ", done, total, perSecond);
    // The last column stays free: writing into it makes some terminals wrap before the next redraw.
    const size_t room = columns > line.size() + 1 ? columns - line.size() - 1 : 0;
    if (folder.size() <= room) {
        line += folder;
    } else if (room > kEllipsis.size()) {
        line += kEllipsis;
        line += folder.substr(folder.size() - (room - kEllipsis.size()));
    }
    return line;
}

std::string FormatSummary(const RunCounts& counts) {
    const double rate = counts.seconds > 0 ? counts.picturesDone / counts.seconds : 0.0;
    std::string text = Format("pictorn: %zu of %zu pictures indexed in %s, %.1f s (%.1f pictures/s); ",
                              counts.picturesDone - counts.picturesSkipped, counts.picturesTotal,
                              Plural(counts.folders, "folder", "folders").c_str(), counts.seconds, rate);
    text += Plural(counts.indexesWritten, "index", "indexes") + " written";
    if (counts.picturesSkipped > 0) {
        text += ", " + Plural(counts.picturesSkipped, "picture", "pictures") + " skipped";
    }
    if (counts.indexesRemoved > 0) {
        text += ", " + Plural(counts.indexesRemoved, "old index", "old indexes") + " removed";
    }
    if (counts.indexesFailed > 0) {
        text += ", " + Plural(counts.indexesFailed, "index", "indexes") + " not written";
    }
    if (counts.picturesDone < counts.picturesTotal) {
        text += ", stopped early";
    }
    return text + "\n";
}

ProgressReport::ProgressReport(ProgressStyle style, std::FILE* out, std::FILE* err)
    : m_style(style), m_out(out), m_err(err), m_start(std::chrono::steady_clock::now()) {}

void ProgressReport::Begin(size_t pictures, size_t folders) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_counts.picturesTotal = pictures;
    m_counts.folders = folders;
    m_start = std::chrono::steady_clock::now();
    DrawLocked(true);
}

void ProgressReport::PictureStarted(const std::string& folder) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (folder != m_folder) {
        m_folder = folder;
        DrawLocked(true);
    }
}

void ProgressReport::PictureFinished() {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_counts.picturesDone;
    DrawLocked(false);
}

void ProgressReport::PictureSkipped(const std::string& path, const std::string& reason) {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_counts.picturesDone;
    ++m_counts.picturesSkipped;
    ClearLineLocked();
    std::fprintf(m_err, "pictorn: skipped %s: %s\n", path.c_str(), reason.c_str());
    DrawLocked(true);
}

void ProgressReport::Problem(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_lock);
    ClearLineLocked();
    std::fprintf(m_err, "pictorn: %s\n", text.c_str());
    DrawLocked(true);
}

void ProgressReport::IndexWritten() {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_counts.indexesWritten;
}

void ProgressReport::IndexRemoved() {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_counts.indexesRemoved;
}

void ProgressReport::IndexFailed(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_counts.indexesFailed;
    ClearLineLocked();
    std::fprintf(m_err, "pictorn: %s\n", text.c_str());
    DrawLocked(true);
}

RunCounts ProgressReport::Finish() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_counts.seconds = SecondsLocked();
    // The last count is drawn even when it came within the redraw interval, so that a program reading
    // the live line sees the run end at its total.
    DrawLocked(true);
    ClearLineLocked();
    std::fflush(m_err);
    std::fputs(FormatSummary(m_counts).c_str(), m_out);
    std::fflush(m_out);
    return m_counts;
}

double ProgressReport::SecondsLocked() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
}

void ProgressReport::ClearLineLocked() {
    if (m_lineShown) {
        std::fputs("\r\033[K", m_err);
        m_lineShown = false;
    }
}

void ProgressReport::DrawLocked(bool force) {
    if (m_style != ProgressStyle::Live) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!force && m_lineShown && now - m_lastDraw < kRedrawInterval) {
        return;
    }
    m_lastDraw = now;
    const double seconds = SecondsLocked();
    const double rate = seconds > 0 ? m_counts.picturesDone / seconds : 0.0;
    const std::string line = FormatProgressLine(m_counts.picturesDone, m_counts.picturesTotal, rate, m_folder,
                                                TerminalColumns(m_err));
    std::fprintf(m_err, "\r\033[K%s", line.c_str());
    std::fflush(m_err);
    m_lineShown = true;
}

ProgressStyle ProgressStyleForStderr() {
    const char* asked = std::getenv(kProgressEnvironmentVariable);
    if (asked && std::string_view(asked) == "live") {
        return ProgressStyle::Live;
    }
    return ::isatty(STDERR_FILENO) ? ProgressStyle::Live : ProgressStyle::Quiet;
}

}  // namespace sarvo::pictorn
