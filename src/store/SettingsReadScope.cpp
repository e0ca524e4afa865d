#include "store/SettingsReadScope.h"

#include <chrono>
#include <mutex>

#include "store/SettingsDatabase.h"
#include "store/SettingsSnapshot.h"

namespace sarvo {
namespace {

// A scope that outlives a short request (a real-time stream, a download) checks the store again
// when its copy is older than this, so that a stream's later reads see changes as they did before.
constexpr auto kCopyLifetime = std::chrono::seconds(1);

struct ScopeState {
    int depth = 0;
    bool checked = false;
    std::chrono::steady_clock::time_point checkedAt;
    std::shared_ptr<const SettingsSnapshot> snapshot;
};

thread_local ScopeState t_scope;

// The newest copy any thread loaded; requests share it while the version stays the same.
std::mutex g_latestLock;
std::shared_ptr<const SettingsSnapshot> g_latest;

bool ReadVersion(SettingsConnection& connection, int64_t& out) {
    ScopedStatement read(connection, Statement::ReadVersion);
    if (!read || sqlite3_step(read.Get()) != SQLITE_ROW)
        return false;
    out = sqlite3_column_int64(read.Get(), 0);
    return true;
}

std::shared_ptr<const SettingsSnapshot> LatestIfCurrent(const std::string& path, int64_t version) {
    std::lock_guard<std::mutex> hold(g_latestLock);
    if (g_latest && g_latest->Version() == version && g_latest->DatabasePath() == path)
        return g_latest;
    return nullptr;
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
    if (!snapshot)
        return nullptr;
    std::lock_guard<std::mutex> hold(g_latestLock);
    g_latest = snapshot;
    return snapshot;
}

std::shared_ptr<const SettingsSnapshot> CurrentSnapshot() {
    BorrowedConnection connection;
    if (!connection)
        return nullptr;
    int64_t version = 0;
    if (!ReadVersion(*connection, version))
        return nullptr;
    if (auto latest = LatestIfCurrent((*connection).Path(), version))
        return latest;
    return Reload(*connection);
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
    const auto now = std::chrono::steady_clock::now();
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
