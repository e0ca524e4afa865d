#include "site/ZipWriter.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/FindData.h"
#include "platform/Thread.h"
#include "site/ZipLayout.h"

namespace sarvo {
namespace {

// Block sizes change only the number of system calls: deflate's output does not depend on how its
// input is handed in, so the archive is the same whatever these are.
constexpr size_t kReadBlock = 128 * 1024;
constexpr size_t kWriteBlock = 64 * 1024;
// The central directory is gathered in memory up to this size before it is written and published.
constexpr size_t kDirectoryBatch = 64 * 1024;

// Raw deflate (no zlib header or trailer) at the default level, as the archive's readers expect
// method 8 to be. The interface version is the oldest one the calls below need; zlib checks only
// its major number.
constexpr int kRawDeflateWindowBits = -15;
constexpr int kDeflateMemoryLevel = 8;
constexpr char kZlibInterfaceVersion[] = "1.1.3";

// The traversal recurses once per folder level; the deepest path Linux allows needs far less.
constexpr size_t kWriterStackSize = 1024 * 1024;

bool WriteAt(int descriptor, const char* data, size_t length, uint64_t offset) {
    while (length > 0) {
        ssize_t written = ::pwrite(descriptor, data, length, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        length -= static_cast<size_t>(written);
        offset += static_cast<uint64_t>(written);
    }
    return true;
}

bool ReadAt(int descriptor, char* data, size_t length, uint64_t offset) {
    while (length > 0) {
        ssize_t got = ::pread(descriptor, data, length, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        length -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

ssize_t ReadSome(int descriptor, char* data, size_t length) {
    for (;;) {
        ssize_t got = ::read(descriptor, data, length);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

class Descriptor {
public:
    explicit Descriptor(int descriptor) : m_descriptor(descriptor) {}
    ~Descriptor() {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_descriptor; }

private:
    int m_descriptor;
};

struct FolderId {
    dev_t device;
    ino_t inode;
};

// One archive being written. The data of each entry goes straight to its place in the archive,
// behind room left for the local header, while the CRC is computed over the same blocks; the header
// is written last, when the CRC and the compressed size are known, and only then is the entry
// published as final. So every source file is read once and nothing is copied twice.
class ArchiveWriter {
public:
    ArchiveWriter(int descriptor, ZipJob& job);
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // Each is false when an entry failed; the archive then ends after the last complete entry.
    bool AddFile(const std::string& source, std::string_view name);
    bool AddFolderFiles(const std::string& folder, ZipSubfolders subfolders);
    bool AddTree(const std::string& folder, size_t rootLength);

    // The central directory, read back from the local headers, and the end records.
    int Finish();

private:
    bool Deflate(int source, uint64_t size, uint64_t dataOffset, ZipEntryHeader& entry, uint64_t& dataEnd,
                 bool& allInBuffer);
    bool DropPartialEntry();
    // False when the folder cannot be examined or is already being archived further up (a link
    // that leads back to an ancestor would otherwise be followed until paths get too long).
    bool EnterFolder(const std::string& folder);
    void LeaveFolder() { m_openFolders.pop_back(); }

    int m_descriptor;
    ZipJob& m_job;
    uint64_t m_end = 0;  // end of the last complete entry
    z_stream m_stream{};
    bool m_streamReady = false;
    std::vector<unsigned char> m_input;
    std::vector<unsigned char> m_output;
    std::vector<FolderId> m_openFolders;
};

ArchiveWriter::ArchiveWriter(int descriptor, ZipJob& job)
    : m_descriptor(descriptor), m_job(job), m_input(kReadBlock), m_output(kWriteBlock) {
    // One stream serves every entry (deflateReset between them), which gives the same bytes as a
    // fresh stream per entry without its allocations.
    m_streamReady = deflateInit2_(&m_stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kRawDeflateWindowBits,
                                  kDeflateMemoryLevel, Z_DEFAULT_STRATEGY, kZlibInterfaceVersion,
                                  static_cast<int>(sizeof(z_stream))) == Z_OK;
}

ArchiveWriter::~ArchiveWriter() {
    if (m_streamReady)
        deflateEnd(&m_stream);
}

bool ArchiveWriter::DropPartialEntry() {
    // Nothing past m_end was published, so the sender has not read it; cutting it off keeps the
    // file equal to what the sender sends. Should the cut fail, those bytes stay unpublished all the
    // same.
    [[maybe_unused]] int cut = ::ftruncate(m_descriptor, static_cast<off_t>(m_end));
    return false;
}

bool ArchiveWriter::Deflate(int source, uint64_t size, uint64_t dataOffset, ZipEntryHeader& entry,
                            uint64_t& dataEnd, bool& allInBuffer) {
    if (deflateReset(&m_stream) != Z_OK)
        return false;
    uLong crc = crc32(0L, Z_NULL, 0);
    uint64_t consumed = 0;
    // The size read at the start is also where reading stops, so a file that grows meanwhile still
    // matches the Zip64 decision made for it.
    bool inputEnded = size == 0;
    uint64_t writeAt = dataOffset;
    allInBuffer = true;
    m_stream.next_out = m_output.data();
    m_stream.avail_out = static_cast<uInt>(m_output.size());
    for (;;) {
        if (m_job.AbortRequested())
            return false;
        if (m_stream.avail_in == 0 && !inputEnded) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(m_input.size(), size - consumed));
            ssize_t got = ReadSome(source, reinterpret_cast<char*>(m_input.data()), want);
            if (got < 0)
                return false;
            if (got == 0) {
                inputEnded = true;  // the file shrank
            } else {
                crc = crc32(crc, m_input.data(), static_cast<uInt>(got));
                consumed += static_cast<uint64_t>(got);
                inputEnded = consumed == size;
                m_stream.next_in = m_input.data();
                m_stream.avail_in = static_cast<uInt>(got);
            }
        }
        const int result = deflate(&m_stream, inputEnded ? Z_FINISH : Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END)
            return false;
        const size_t produced = m_output.size() - m_stream.avail_out;
        if (m_stream.avail_out == 0) {
            if (!WriteAt(m_descriptor, reinterpret_cast<const char*>(m_output.data()), produced, writeAt))
                return false;
            writeAt += produced;
            allInBuffer = false;
            m_stream.next_out = m_output.data();
            m_stream.avail_out = static_cast<uInt>(m_output.size());
        }
        if (result == Z_STREAM_END)
            break;
    }
    const size_t pending = m_output.size() - m_stream.avail_out;
    if (!allInBuffer && pending > 0) {
        if (!WriteAt(m_descriptor, reinterpret_cast<const char*>(m_output.data()), pending, writeAt))
            return false;
        writeAt += pending;
    }
    entry.crc = static_cast<uint32_t>(crc);
    entry.uncompressedSize = consumed;
    entry.compressedSize = m_stream.total_out;
    dataEnd = allInBuffer ? dataOffset + pending : writeAt;
    return true;
}

bool ArchiveWriter::AddFile(const std::string& source, std::string_view diskName) {
    ZipEntryHeader entry;
    const std::string name = ZipEntryName(diskName, entry.flags);
    if (!m_streamReady || name.empty() || name.size() > kZipNameMax)
        return false;
    // Non-blocking, so that a fifo that took a file's place cannot stall the writer in open().
    Descriptor file(OpenConfined(m_job.confinement, source, O_RDONLY | O_NOCTTY | O_NONBLOCK));
    if (file.Get() < 0)
        return false;
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0)
        return false;
    // Fifos, sockets and devices have no content to archive; reading one could wait for ever.
    if (!S_ISREG(info.st_mode))
        return true;
    ::posix_fadvise(file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    const uint64_t size = static_cast<uint64_t>(info.st_size);
    entry.modified = FileTimeToDosDateTime(FileTimeFromTimespec(info.st_mtim));
    // Decided before any data is written, since the extra field comes first: a size that could
    // reach the mark once compressed, even by deflate's worst case growth, gets Zip64 sizes.
    entry.zip64Sizes = size >= kZip32Mark || deflateBound(&m_stream, static_cast<uLong>(size)) >= kZip32Mark;

    const uint64_t headerOffset = m_end;
    const uint64_t dataOffset = headerOffset + LocalHeaderLength(name.size(), entry.zip64Sizes);
    uint64_t dataEnd = dataOffset;
    bool allInBuffer = true;
    if (!Deflate(file.Get(), size, dataOffset, entry, dataEnd, allInBuffer))
        return DropPartialEntry();
    if (!entry.zip64Sizes && entry.compressedSize >= kZip32Mark)
        return DropPartialEntry();

    const std::string header = BuildLocalHeader(entry, name);
    if (allInBuffer) {
        // A small entry goes out in one write, header and data together.
        const size_t pending = static_cast<size_t>(dataEnd - dataOffset);
        iovec pieces[2] = {{const_cast<char*>(header.data()), header.size()}, {m_output.data(), pending}};
        const size_t total = header.size() + pending;
        ssize_t written = ::pwritev(m_descriptor, pieces, 2, static_cast<off_t>(headerOffset));
        if (written < 0 || static_cast<size_t>(written) != total) {
            std::string whole = header;
            whole.append(reinterpret_cast<const char*>(m_output.data()), pending);
            if (!WriteAt(m_descriptor, whole.data(), whole.size(), headerOffset))
                return DropPartialEntry();
        }
    } else if (!WriteAt(m_descriptor, header.data(), header.size(), headerOffset)) {
        return DropPartialEntry();
    }
    m_end = dataEnd;
    m_job.PublishFinal(m_end);
    return true;
}

bool ArchiveWriter::EnterFolder(const std::string& folder) {
    struct stat info {};
    if (::stat(folder.empty() ? "/" : folder.c_str(), &info) != 0)
        return false;
    for (const FolderId& open : m_openFolders) {
        if (open.device == info.st_dev && open.inode == info.st_ino)
            return false;
    }
    m_openFolders.push_back(FolderId{info.st_dev, info.st_ino});
    return true;
}

bool ArchiveWriter::AddFolderFiles(const std::string& folder, ZipSubfolders subfolders) {
    if (!EnterFolder(folder))
        return true;
    FindData found;
    // Every name is taken as it is: hidden files, system files and a thumbnail index alike.
    {
        DirectoryEnumerator files(folder + "/*.*", m_job.confinement);
        while (files.Next(found)) {
            if (found.attributes & kFileAttributeDirectory)
                continue;
            if (!AddFile(folder + "/" + found.name, found.name)) {
                LeaveFolder();
                return false;
            }
        }
    }
    if (subfolders == ZipSubfolders::Include) {
        DirectoryEnumerator folders(folder + "/*.*", m_job.confinement);
        while (folders.Next(found)) {
            if (!(found.attributes & kFileAttributeDirectory) || found.name.front() == '.')
                continue;
            if (!AddTree(folder + "/" + found.name, folder.size())) {
                LeaveFolder();
                return false;
            }
        }
    }
    LeaveFolder();
    return true;
}

bool ArchiveWriter::AddTree(const std::string& folder, size_t rootLength) {
    // A folder that cannot be read counts as done, like one whose enumeration fails.
    if (!EnterFolder(folder))
        return true;
    DirectoryEnumerator entries(folder + "/*.*", m_job.confinement);
    FindData found;
    while (entries.Next(found)) {
        const std::string full = folder + "/" + found.name;
        bool added = true;
        if (found.attributes & kFileAttributeDirectory) {
            if (found.name.front() != '.')
                added = AddTree(full, rootLength);
        } else {
            std::string_view name(full);
            name.remove_prefix(rootLength);
            while (!name.empty() && name.front() == '/')
                name.remove_prefix(1);
            added = AddFile(full, name);
        }
        if (!added) {
            LeaveFolder();
            return false;
        }
    }
    LeaveFolder();
    return true;
}

int ArchiveWriter::Finish() {
    const uint64_t directoryOffset = m_end;
    uint64_t writeAt = directoryOffset;
    uint64_t offset = 0;
    uint64_t count = 0;
    std::string batch;
    std::string nameAndExtra;
    while (offset < directoryOffset) {
        char fixed[kLocalHeaderSize];
        LocalHeaderFields fields;
        if (!ReadAt(m_descriptor, fixed, sizeof fixed, offset) ||
            !ParseLocalHeader(std::string_view(fixed, sizeof fixed), fields))
            return kZipHeaderUnreadable;
        nameAndExtra.resize(fields.nameLength + fields.extraLength);
        if (!ReadAt(m_descriptor, nameAndExtra.data(), nameAndExtra.size(), offset + kLocalHeaderSize))
            return kZipHeaderUnreadable;
        const std::string_view name(nameAndExtra.data(), fields.nameLength);
        if (!ReadZip64Sizes(std::string_view(nameAndExtra).substr(fields.nameLength), fields.entry))
            return kZipHeaderUnreadable;
        batch += BuildCentralHeader(fields.entry, name, offset);
        if (batch.size() >= kDirectoryBatch) {
            if (!WriteAt(m_descriptor, batch.data(), batch.size(), writeAt))
                return kZipHeaderUnreadable;
            writeAt += batch.size();
            batch.clear();
            m_job.PublishFinal(writeAt);
        }
        ++count;
        offset += kLocalHeaderSize + nameAndExtra.size() + fields.entry.compressedSize;
    }
    if (!WriteAt(m_descriptor, batch.data(), batch.size(), writeAt))
        return kZipHeaderUnreadable;
    writeAt += batch.size();

    const std::string end =
        BuildEndRecords(count, writeAt - directoryOffset, directoryOffset, ZipArchiveComment());
    if (!WriteAt(m_descriptor, end.data(), end.size(), writeAt))
        return kZipEndRecordFailed;
    m_job.PublishFinal(writeAt + end.size());
    return kZipOk;
}

}  // namespace

void ZipJob::PublishFinal(uint64_t length) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_state.finalLength = length;
    }
    m_changed.notify_all();
}

void ZipJob::MarkDone(bool success) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_state.done = true;
    m_state.success = success;
    // Notified under the lock: a waiter that sees done may release the job at once.
    m_changed.notify_all();
}

ZipJob::State ZipJob::Current() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state;
}

ZipJob::State ZipJob::WaitForMore(uint64_t known, std::chrono::milliseconds limit) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait_for(lock, limit, [&] { return m_state.done || m_state.finalLength > known; });
    return m_state;
}

void ZipJob::WaitUntilDone() const {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return m_state.done; });
}

int ZipFolder(const std::string& path, int descriptor, ZipSubfolders subfolders, ZipJob& job) {
    uint32_t attributes = 0;
    if (!GetFileAttributes(path, attributes))
        return kZipPathMissing;
    ArchiveWriter writer(descriptor, job);
    bool added;
    if (attributes & kFileAttributeDirectory) {
        std::string folder = path;
        while (!folder.empty() && folder.back() == '/')
            folder.pop_back();
        added = writer.AddFolderFiles(folder, subfolders);
    } else {
        const size_t slash = path.find_last_of('/');
        added = writer.AddFile(path, slash == std::string::npos ? path : path.substr(slash + 1));
    }
    if (!added)
        return kZipEntryFailed;
    return writer.Finish();
}

bool StartZipWriter(const std::shared_ptr<ZipJob>& job) {
    return StartDetachedThread(
        [job] {
            const int result = ZipFolder(job->path, job->descriptor, job->subfolders, *job);
            job->MarkDone(result == kZipOk);
        },
        kWriterStackSize);
}

}  // namespace sarvo
