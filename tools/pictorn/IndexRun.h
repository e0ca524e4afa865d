#pragma once

#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "IndexWriter.h"
#include "PictureFinder.h"
#include "PreviewMaker.h"
#include "ProgressReport.h"

// Indexes a list of folders with several worker threads. All pictures of all folders form one queue,
// so no worker waits at the end of a small folder while the other finishes it. Each folder's entries
// still reach its index in name order: a finished preview waits only until the ones before it in its
// folder are written, which with a few workers taking pictures in queue order is at most a few
// previews.
namespace sarvo::pictorn {

class IndexRun {
public:
    // stop is polled between pictures (set by SIGINT/SIGTERM); folders not finished by then keep
    // their old index.
    IndexRun(std::vector<PictureFolder> folders, PreviewEncoding encoding, ProgressReport& report,
             const std::atomic<bool>& stop);

    void Run(unsigned workerCount);

private:
    struct Job {
        size_t folder;
        size_t picture;
    };

    struct FolderState {
        size_t nextToWrite = 0;
        // Previews finished ahead of nextToWrite; an empty optional marks a skipped picture.
        std::map<size_t, std::optional<Preview>> waiting;
        std::unique_ptr<IndexWriter> writer;
        bool failed = false;
    };

    void Work();
    void Deliver(const Job& job, std::optional<Preview> preview);
    void WriteLocked(size_t folderIndex, size_t picture, Preview& preview);
    void FinishFolderLocked(size_t folderIndex);

    std::vector<PictureFolder> m_folders;
    PreviewEncoding m_encoding;
    ProgressReport& m_report;
    const std::atomic<bool>& m_stop;
    std::vector<Job> m_jobs;
    std::atomic<size_t> m_nextJob{0};
    // Guards m_states and every index file; writing an entry is quick next to making a preview.
    std::mutex m_writeLock;
    std::vector<FolderState> m_states;
};

}  // namespace sarvo::pictorn
