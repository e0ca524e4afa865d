#include "store/SettingsReadScope.h"

#include <time.h>

#include <chrono>
#include <mutex>

#include "store/CommitWatch.h"
#include "store/SettingsDatabase.h"
#include "store/SettingsSnapshot.h"

namespace sarvo {
namespace {

// A scope that outlives a short request (a real-time stream, a download) checks the store again
// when its copy is older than this, so that a stream's later reads see changes as they did before.
constexpr auto kCopyLifetime = std::chrono::seconds(1);

// A clock of the scheduler's resolution, which costs a fraction of the precise one; every settings
// read asks it.
std::chrono::milliseconds CoarseNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return std::chrono::seconds(now.tv_sec) +
           std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::nanoseconds(now.tv_nsec));
}

struct ScopeState {
    int depth = 0;
    bool checked = false;
    std::chrono::milliseconds checkedAt{};
    std::shared_ptr<const SettingsSnapshot> snapshot;
};

thread_local ScopeState t_scope;

// A copy of the store with what vouches for it: the commit mark read before the query that found the
// copy current. While the watch still reads that mark no process has committed since, so the copy is
// current without a look at the database.
struct ValidatedCopy {
    std::shared_ptr<const SettingsSnapshot> snapshot;
    std::string databasePath;
    std::shared_ptr<const CommitWatch> watch;  // null when the database cannot be watched
    CommitMark mark;
    bool marked = false;  // false: the mark could not be read, and every check asks the database
};

// The newest copy any thread validated; requests share it while nothing is committed.
std::mutex g_latestLock;
std::shared_ptr<const ValidatedCopy> g_latest;

std::shared_ptr<const ValidatedCopy> Latest() {
    std::lock_guard<std::mutex> hold(g_latestLock);
    return g_latest;
}

// The snapshot shares the copy's ownership, so the watch stays open while anyone reads the copy.
std::shared_ptr<const SettingsSnapshot> SnapshotOf(std::shared_ptr<const ValidatedCopy> copy) {
    const SettingsSnapshot* snapshot = copy->snapshot.get();
    return std::shared_ptr<const SettingsSnapshot>(std::move(copy), snapshot);
}

std::shared_ptr<const SettingsSnapshot> Publish(std::shared_ptr<const ValidatedCopy> copy) {
    {
        std::lock_guard<std::mutex> hold(g_latestLock);
        g_latest = copy;
    }
    return SnapshotOf(std::move(copy));
}

bool ReadVersion(SettingsConnection& connection, int64_t& out) {
    ScopedStatement read(connection, Statement::ReadVersion);
    if (!read || sqlite3_step(read.Get()) != SQLITE_ROW)
        return false;
    out = sqlite3_column_int64(read.Get(), 0);
    return true;
}

// The version and the copy must come from one read transaction, or a write between them would be
// taken for the version before it.
std::shared_ptr<const SettingsSnapshot> Reload(SettingsConnection& connection) {
    if (!connection.Execute("BEGIN"))
        return nullptr;
    int64_t version = 0;
    std::shared_ptr<const SettingsSnapshot> snapshot;
    if (ReadVersion(connection, version))
        snapshot = SettingsSnapshot::Load(connection, connection.Path(), version);
    connection.Execute("COMMIT");
    return snapshot;
}

// The watch of the database at path: the latest copy's, or a new one. A database that cannot be
// watched is not tried again while the latest copy comes from it.
std::shared_ptr<const CommitWatch> WatchFor(const std::string& path, const ValidatedCopy* latest) {
    if (latest && latest->databasePath == path)
        return latest->watch;
    std::shared_ptr<const CommitWatch> watch = CommitWatch::Open();
    return watch && watch->DatabasePath() == path ? watch : nullptr;
}

// Asks the database whether the latest copy is current, and loads a new one when it is not.
std::shared_ptr<const SettingsSnapshot> ValidateWithDatabase(const std::string& path,
                                                             std::shared_ptr<const ValidatedCopy> latest) {
    auto copy = std::make_shared<ValidatedCopy>();
    copy->databasePath = path;
    copy->watch = WatchFor(path, latest.get());
    // Read before the query, so that a commit after the mark moves it on and the copy is checked again.
    copy->marked = copy->watch && copy->watch->Read(copy->mark);
    BorrowedConnection connection;
    if (!connection || (*connection).Path() != path)
        return nullptr;
    int64_t version = 0;
    if (!ReadVersion(*connection, version))
        return nullptr;
    if (latest && latest->databasePath == path && latest->snapshot->Version() == version)
        copy->snapshot = latest->snapshot;
    else
        copy->snapshot = Reload(*connection);
    if (!copy->snapshot)
        return nullptr;
    return Publish(std::move(copy));
}

std::shared_ptr<const SettingsSnapshot> CurrentSnapshot() {
    const std::string path = SettingsDatabasePath();
    std::shared_ptr<const ValidatedCopy> latest = Latest();
    CommitMark mark;
    if (latest && latest->marked && latest->databasePath == path && latest->watch->Read(mark) &&
        mark == latest->mark)
        return SnapshotOf(std::move(latest));
    return ValidateWithDatabase(path, std::move(latest));
}

}  // namespace

SettingsReadScope::SettingsReadScope() {
    ++t_scope.depth;
}

SettingsReadScope::~SettingsReadScope() {
    if (--t_scope.depth > 0)
        return;
    t_scope.checked = false;
    t_scope.snapshot.reset();
}

const SettingsSnapshot* ScopedSnapshot() {
    if (t_scope.depth == 0)
        return nullptr;
    const auto now = CoarseNow();
    if (!t_scope.checked || now - t_scope.checkedAt > kCopyLifetime) {
        // A failed check leaves the scope reading the database at each call, as without a scope.
        t_scope.snapshot = CurrentSnapshot();
        t_scope.checked = true;
        t_scope.checkedAt = now;
    }
    return t_scope.snapshot.get();
}

void ForgetScopedSnapshot() {
    t_scope.checked = false;
    t_scope.snapshot.reset();
}

void ForgetLatestSnapshot() {
    std::lock_guard<std::mutex> hold(g_latestLock);
    g_latest.reset();
}

}  // namespace sarvo
