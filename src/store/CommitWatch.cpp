#include "store/CommitWatch.h"

#include <sqlite3.h>

#include <atomic>

#include "store/SettingsDatabase.h"

namespace sarvo {
namespace {

// The index begins with two copies of its 48-byte header; a commit writes the second copy, then the
// first, with a memory barrier between.
constexpr size_t kHeaderWords = 12;
constexpr int kIndexRegionBytes = 32768;
// The byte that says the header has been initialised (the fourth word's first byte).
constexpr size_t kInitialisedByte = 12;

void ReadHeaderCopy(const volatile uint32_t* copy, CommitMark& out) {
    for (size_t word = 0; word < kHeaderWords; ++word)
        out.words[word] = copy[word];
}

}  // namespace

std::unique_ptr<CommitWatch> CommitWatch::Open() {
    auto connection = OpenSettingsConnection();
    if (!connection)
        return nullptr;
    // A first read maps the index, as any reader of a database in write-ahead mode does.
    if (!connection->Execute("SELECT version FROM store_version"))
        return nullptr;
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(connection->Database(), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        !file || !file->pMethods || file->pMethods->iVersion < 2 || !file->pMethods->xShmMap)
        return nullptr;
    void volatile* region = nullptr;
    if (file->pMethods->xShmMap(file, 0, kIndexRegionBytes, 0, &region) != SQLITE_OK || !region)
        return nullptr;
    return std::unique_ptr<CommitWatch>(
        new CommitWatch(std::move(connection), static_cast<const volatile uint32_t*>(region)));
}

CommitWatch::CommitWatch(std::unique_ptr<SettingsConnection> connection, const volatile uint32_t* index)
    : m_connection(std::move(connection)), m_index(index) {}

CommitWatch::~CommitWatch() = default;

const std::string& CommitWatch::DatabasePath() const {
    return m_connection->Path();
}

bool CommitWatch::Read(CommitMark& out) const {
    // In the opposite order to the writer's: equal copies cannot be a header half written.
    CommitMark second;
    ReadHeaderCopy(m_index, out);
    std::atomic_thread_fence(std::memory_order_acquire);
    ReadHeaderCopy(m_index + kHeaderWords, second);
    const auto* bytes = reinterpret_cast<const unsigned char*>(out.words.data());
    return out == second && bytes[kInitialisedByte] != 0;
}

}  // namespace sarvo
