#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/ConfinedOpen.h"

// The writer side of the folder download: compresses a folder's files one after another into an
// archive file that the connection thread streams while it grows.
namespace sarvo {

// ZipFolder results.
inline constexpr int kZipOk = 0;
inline constexpr int kZipPathMissing = 1;
inline constexpr int kZipEntryFailed = 3;
inline constexpr int kZipHeaderUnreadable = 4;
inline constexpr int kZipEndRecordFailed = 5;

enum class ZipSubfolders { Skip, Include };

// The record the connection thread and the writer thread share. Each flag is written by one side
// only: the sender asks for the abort, the writer publishes how much of the archive is final and
// says when it is done.
//
// "Final" is the point of the shared length: the writer puts an entry's data into the archive before
// its local header holds the CRC and the compressed size, so the bytes past the published length
// may still change. The sender reads nothing beyond it.
class ZipJob {
public:
    struct State {
        uint64_t finalLength = 0;
        bool done = false;
        bool success = false;
    };

    // The folder (or single file) to archive, the archive's descriptor and the sub-folder rule; set
    // before the writer starts and not changed afterwards.
    std::string path;
    int descriptor = -1;
    ZipSubfolders subfolders = ZipSubfolders::Skip;
    // Every folder and file is opened under it, so a link leading out of the shared folder adds nothing.
    Confinement confinement;

    void RequestAbort() { m_abort.store(true, std::memory_order_relaxed); }
    bool AbortRequested() const { return m_abort.load(std::memory_order_relaxed); }

    // The archive's first length bytes will not change any more.
    void PublishFinal(uint64_t length);
    // The writer's last touch of the archive.
    void MarkDone(bool success);

    State Current() const;
    // Returns as soon as more than known bytes are final or the writer is done, else after the limit.
    State WaitForMore(uint64_t known, std::chrono::milliseconds limit) const;
    void WaitUntilDone() const;

private:
    std::atomic<bool> m_abort{false};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    State m_state;
};

// Writes the whole archive of path into the descriptor, which must be empty and positioned anywhere
// (every write gives its offset). A path that names a file gives an archive with that one file.
// Publishes the final length to the job as entries complete and stops, with kZipEntryFailed, soon
// after the job's abort is requested.
int ZipFolder(const std::string& path, int descriptor, ZipSubfolders subfolders, ZipJob& job);

// Runs ZipFolder for the job on a thread of its own and then marks the job done, successful when the
// result was kZipOk. False when the thread could not be started (the job is then untouched).
bool StartZipWriter(const std::shared_ptr<ZipJob>& job);

}  // namespace sarvo
