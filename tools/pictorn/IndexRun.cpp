#include "IndexRun.h"

#include <errno.h>
#include <string.h>
#include <unistd.h>

#include <thread>

#include "IndexLocation.h"
#include "thumbindex/ThumbnailIndexFormat.h"

namespace sarvo::pictorn {

namespace {

std::string JoinPath(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

IndexRun::IndexRun(std::vector<PictureFolder> folders, PreviewEncoding encoding, ProgressReport& report,
                   const std::atomic<bool>& stop)
    : m_folders(std::move(folders)), m_encoding(encoding), m_report(report), m_stop(stop) {
    m_states.resize(m_folders.size());
    for (size_t folder = 0; folder < m_folders.size(); ++folder) {
        for (size_t picture = 0; picture < m_folders[folder].pictures.size(); ++picture) {
            m_jobs.push_back({folder, picture});
        }
    }
}

void IndexRun::Run(unsigned workerCount) {
    m_report.Begin(m_jobs.size(), m_folders.size());
    {
        std::lock_guard<std::mutex> lock(m_writeLock);
        for (size_t folder = 0; folder < m_folders.size(); ++folder) {
            if (m_folders[folder].pictures.empty()) {
                FinishFolderLocked(folder);
            }
        }
    }
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < std::max(workerCount, 1u); ++i) {
        workers.emplace_back([this] { Work(); });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
}

void IndexRun::Work() {
    while (!m_stop.load()) {
        const size_t next = m_nextJob.fetch_add(1);
        if (next >= m_jobs.size()) {
            break;
        }
        const Job& job = m_jobs[next];
        const PictureFolder& folder = m_folders[job.folder];
        const std::string& name = folder.pictures[job.picture];
        const std::string path = JoinPath(folder.path, name);
        m_report.PictureStarted(folder.path);
        // Checked before decoding: a name the index cannot hold would only waste the work.
        if (!FitsThumbnailNameField(name)) {
            m_report.PictureSkipped(path, "the name is too long for the index");
            Deliver(job, std::nullopt);
            continue;
        }
        Preview preview;
        std::string error;
        if (!MakePreview(path, m_encoding, preview, error)) {
            m_report.PictureSkipped(path, error);
            Deliver(job, std::nullopt);
            continue;
        }
        m_report.PictureFinished();
        Deliver(job, std::move(preview));
    }
    EndPreviewThread();
}

void IndexRun::Deliver(const Job& job, std::optional<Preview> preview) {
    std::lock_guard<std::mutex> lock(m_writeLock);
    FolderState& state = m_states[job.folder];
    state.waiting.emplace(job.picture, std::move(preview));
    const size_t count = m_folders[job.folder].pictures.size();
    while (!state.waiting.empty() && state.waiting.begin()->first == state.nextToWrite) {
        std::optional<Preview> next = std::move(state.waiting.begin()->second);
        state.waiting.erase(state.waiting.begin());
        if (next.has_value()) {
            WriteLocked(job.folder, state.nextToWrite, *next);
        }
        ++state.nextToWrite;
    }
    if (state.nextToWrite == count) {
        FinishFolderLocked(job.folder);
    }
}

void IndexRun::WriteLocked(size_t folderIndex, size_t picture, Preview& preview) {
    FolderState& state = m_states[folderIndex];
    const PictureFolder& folder = m_folders[folderIndex];
    if (state.failed) {
        return;
    }
    std::string error;
    if (!state.writer) {
        // The place is decided at the first entry, so a folder whose pictures all fail gets no cache
        // folders made for it.
        const std::string indexPath = IndexPathForWriting(folder.path);
        auto writer = std::make_unique<IndexWriter>();
        if (indexPath.empty() || !writer->Open(indexPath, error)) {
            state.failed = true;
            m_report.IndexFailed("no index for " + folder.path + ": " +
                                 (indexPath.empty() ? std::string("no place to write it") : error));
            return;
        }
        state.writer = std::move(writer);
    }
    if (!state.writer->Add(folder.pictures[picture], preview.image, preview.width, preview.height, error)) {
        state.failed = true;
        state.writer.reset();
        m_report.IndexFailed("no index for " + folder.path + ": " + error);
    }
}

void IndexRun::FinishFolderLocked(size_t folderIndex) {
    FolderState& state = m_states[folderIndex];
    const PictureFolder& folder = m_folders[folderIndex];
    if (state.failed) {
        return;
    }
    if (state.writer) {
        std::string error;
        if (state.writer->Commit(error)) {
            m_report.IndexWritten();
        } else {
            m_report.IndexFailed("no index for " + folder.path + ": " + error);
        }
        state.writer.reset();
        return;
    }
    // An index without entries would still make the listing offer an empty "Image Thumbnails" page,
    // so a folder whose pictures are all gone, or all unreadable, loses its old index instead.
    const std::string indexPath = IndexPathForLookup(folder.path);
    if (indexPath.empty() || ::access(indexPath.c_str(), F_OK) != 0) {
        return;
    }
    if (::unlink(indexPath.c_str()) == 0) {
        m_report.IndexRemoved();
    } else if (errno != EROFS) {
        // On read-only media an index that came with the folder is the one the server reads; it is
        // neither ours to remove nor a fault.
        m_report.Problem("cannot remove the old index " + indexPath + ": " + ::strerror(errno));
    }
}

}  // namespace sarvo::pictorn
