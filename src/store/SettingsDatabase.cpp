#include "store/SettingsDatabase.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/SpecialFolders.h"

namespace sarvo {
namespace {

constexpr char kDatabaseFileName[] = "settings.db";
constexpr int kBusyTimeoutMs = 10000;
// At most this many connections are open at once; a thread that finds them all borrowed waits for
// one. Every borrow is one short operation, so the wait is short, and a flood of connection threads
// cannot open hundreds of connections (each holding descriptors on the database and its log).
constexpr size_t kMaxOpenConnections = 16;
// More than this many open while no thread borrows one means a burst has passed: they are closed,
// so that the descriptors it needed are given back. Fewer stay open for the next request.
constexpr size_t kIdleConnectionsKept = 2;
// The set-up statements of a new connection, tried again while another connection holds a lock.
constexpr int kSetUpAttempts = 200;
constexpr auto kSetUpRetryPause = std::chrono::milliseconds(10);

// Keys hold their full path so that a lookup is one indexed comparison; parent links serve
// enumeration. Value ids give creation order; an update in place keeps the id and so the place.
constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS registry_keys("
    " id INTEGER PRIMARY KEY,"
    " hive INTEGER NOT NULL,"
    " path TEXT NOT NULL COLLATE NOCASE,"
    " parent INTEGER NOT NULL,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " UNIQUE(hive, path));"
    "CREATE INDEX IF NOT EXISTS registry_keys_parent ON registry_keys(hive, parent, name);"
    "CREATE TABLE IF NOT EXISTS registry_values("
    " id INTEGER PRIMARY KEY,"
    " key_id INTEGER NOT NULL,"
    " name TEXT NOT NULL COLLATE NOCASE,"
    " type INTEGER NOT NULL,"
    " data BLOB NOT NULL,"
    " UNIQUE(key_id, name));"
    // Entries of this index are ordered by key and then by rowid, that is by creation: a key's values
    // come in their order without a sort of the data (which would spill large blobs to a temporary file).
    "CREATE INDEX IF NOT EXISTS registry_values_key ON registry_values(key_id);"
    // Every change of the two tables, by any process, moves the version on, so a reader learns with
    // one small query whether its copy of the settings is still current. It starts at a random number
    // so that a database created anew in the same place never repeats an earlier file's versions.
    "CREATE TABLE IF NOT EXISTS store_version(id INTEGER PRIMARY KEY, version INTEGER NOT NULL);"
    "INSERT OR IGNORE INTO store_version VALUES(1, abs(random() / 2));"
    "CREATE TRIGGER IF NOT EXISTS keys_inserted AFTER INSERT ON registry_keys"
    " BEGIN UPDATE store_version SET version = version + 1 WHERE id = 1; END;"
    "CREATE TRIGGER IF NOT EXISTS keys_updated AFTER UPDATE ON registry_keys"
    " BEGIN UPDATE store_version SET version = version + 1 WHERE id = 1; END;"
    "CREATE TRIGGER IF NOT EXISTS keys_deleted AFTER DELETE ON registry_keys"
    " BEGIN UPDATE store_version SET version = version + 1 WHERE id = 1; END;"
    "CREATE TRIGGER IF NOT EXISTS values_inserted AFTER INSERT ON registry_values"
    " BEGIN UPDATE store_version SET version = version + 1 WHERE id = 1; END;"
    "CREATE TRIGGER IF NOT EXISTS values_updated AFTER UPDATE ON registry_values"
    " BEGIN UPDATE store_version SET version = version + 1 WHERE id = 1; END;"
    "CREATE TRIGGER IF NOT EXISTS values_deleted AFTER DELETE ON registry_values"
    " BEGIN UPDATE store_version SET version = version + 1 WHERE id = 1; END;";

constexpr const char* kStatementTexts[] = {
    // FindKey
    "SELECT id FROM registry_keys WHERE hive = ?1 AND path = ?2",
    // InsertKey
    "INSERT OR IGNORE INTO registry_keys(hive, path, parent, name) VALUES(?1, ?2, ?3, ?4)",
    // ReadValue
    "SELECT v.type, v.data FROM registry_values v JOIN registry_keys k ON v.key_id = k.id"
    " WHERE k.hive = ?1 AND k.path = ?2 AND v.name = ?3",
    // UpsertValue
    "INSERT INTO registry_values(key_id, name, type, data) VALUES(?1, ?2, ?3, ?4)"
    " ON CONFLICT(key_id, name) DO UPDATE SET type = excluded.type, data = excluded.data",
    // DeleteValue
    "DELETE FROM registry_values WHERE key_id = ?1 AND name = ?2",
    // SubkeyAt
    "SELECT name FROM registry_keys WHERE hive = ?1 AND parent = ?2 ORDER BY name LIMIT 1 OFFSET ?3",
    // ValueAt
    "SELECT name, type, data FROM registry_values INDEXED BY registry_values_key"
    " WHERE key_id = ?1 ORDER BY id LIMIT 1 OFFSET ?2",
    // ValuesOf
    "SELECT name, type, data FROM registry_values INDEXED BY registry_values_key"
    " WHERE key_id = ?1 ORDER BY id",
    // DeleteTreeValues
    "DELETE FROM registry_values WHERE key_id IN (SELECT id FROM registry_keys WHERE hive = ?1"
    " AND (path = ?2 OR path LIKE ?3 ESCAPE '!'))",
    // DeleteTreeKeys
    "DELETE FROM registry_keys WHERE hive = ?1 AND (path = ?2 OR path LIKE ?3 ESCAPE '!')",
    // ReadVersion
    "SELECT version FROM store_version WHERE id = 1",
    // AllKeys: parents before children is not needed; siblings in enumeration order is.
    "SELECT id, hive, path, parent, name FROM registry_keys ORDER BY hive, parent, name",
    // AllValues, in each key's creation order
    "SELECT key_id, name, type, data FROM registry_values ORDER BY key_id, id",
};
static_assert(sizeof kStatementTexts / sizeof kStatementTexts[0] == static_cast<size_t>(Statement::Count));

// Switching the journal mode and creating the schema may meet SQLITE_BUSY without the busy handler
// being asked (while another connection recovers or checkpoints the write-ahead log). A connection
// that gave up there would make a concurrent write fail, so the step is tried again for a while.
bool SetUp(SettingsConnection& connection, const char* sql) {
    for (int attempt = 0; attempt < kSetUpAttempts; ++attempt) {
        int result = sqlite3_exec(connection.Database(), sql, nullptr, nullptr, nullptr);
        if (result == SQLITE_OK)
            return true;
        if ((result & 0xFF) != SQLITE_BUSY && (result & 0xFF) != SQLITE_LOCKED)
            return false;
        std::this_thread::sleep_for(kSetUpRetryPause);
    }
    return false;
}

// The store holds the users' passwords: its folder is the owner's alone, and so are the database and
// the write-ahead log and index that SQLite creates beside it (it gives them the database's mode).
// Earlier installs created them readable by everyone, so existing files are corrected as well.
void RestrictStoreFiles(const std::string& path) {
    const std::string folder = path.substr(0, path.rfind('/'));
    if (!folder.empty() && EnsureFolderExists(folder))
        RestrictToOwner(folder);
    CreateOwnerOnlyFile(path);
    for (const char* suffix : {"", "-wal", "-shm"})
        RestrictToOwner(path + suffix);
}

std::unique_ptr<SettingsConnection> OpenConnection(const std::string& path) {
    std::string folder = path.substr(0, path.rfind('/'));
    if (!folder.empty() && !EnsureFolderExists(folder))
        return nullptr;
    sqlite3* database = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &database, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(database);
        return nullptr;
    }
    auto connection = std::make_unique<SettingsConnection>(database, path);
    sqlite3_busy_timeout(database, kBusyTimeoutMs);
    // NORMAL in WAL mode keeps every committed transaction through a process crash or kill; only
    // a power loss may lose the last commits, never the file's consistency.
    if (!SetUp(*connection, "PRAGMA journal_mode=WAL") || !SetUp(*connection, "PRAGMA synchronous=NORMAL") ||
        !SetUp(*connection, kSchema))
        return nullptr;
    return connection;
}

class ConnectionPool {
public:
    std::unique_ptr<SettingsConnection> Take() {
        std::string path = SettingsDatabasePath();
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (path != m_path) {
                Close(m_free.size());
                m_path = path;
                RestrictStoreFiles(path);
            }
            m_returned.wait(lock, [this] { return !m_free.empty() || m_open < kMaxOpenConnections; });
            ++m_borrowed;
            if (!m_free.empty()) {
                auto connection = std::move(m_free.back());
                m_free.pop_back();
                return connection;
            }
            ++m_open;
        }
        auto connection = OpenConnection(path);
        if (!connection) {
            std::lock_guard<std::mutex> lock(m_mutex);
            --m_borrowed;
            --m_open;
            m_returned.notify_one();
        }
        return connection;
    }

    void Give(std::unique_ptr<SettingsConnection> connection) {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_borrowed;
        if (connection->Path() == m_path)
            m_free.push_back(std::move(connection));
        else
            --m_open;
        connection.reset();
        // After a burst, every connection is closed at once when the last is given back. An open
        // connection in WAL mode keeps a lock on the database, and while any lock of the process
        // remains SQLite must hold a closed connection's descriptor open: closing only some of them
        // would leave their descriptors behind.
        if (m_borrowed == 0 && m_free.size() > kIdleConnectionsKept)
            Close(m_free.size());
        m_returned.notify_one();
    }

    void CloseAll() {
        std::lock_guard<std::mutex> lock(m_mutex);
        Close(m_free.size());
        // The next connection checks the files' permissions again, as a start of the program does.
        m_path.clear();
        m_returned.notify_all();
    }

private:
    // Closes count free connections; the caller holds the lock.
    void Close(size_t count) {
        m_free.resize(m_free.size() - count);
        m_open -= count;
    }

    std::mutex m_mutex;
    std::condition_variable m_returned;
    std::string m_path;
    std::vector<std::unique_ptr<SettingsConnection>> m_free;
    size_t m_open = 0;  // borrowed and free together
    size_t m_borrowed = 0;
};

// Never destroyed: connection threads may still use the store while the process exits.
ConnectionPool& Pool() {
    static ConnectionPool* pool = new ConnectionPool;
    return *pool;
}

}  // namespace

SettingsConnection::SettingsConnection(sqlite3* database, std::string path)
    : m_database(database), m_path(std::move(path)) {}

SettingsConnection::~SettingsConnection() {
    for (sqlite3_stmt* statement : m_statements)
        sqlite3_finalize(statement);
    sqlite3_close(m_database);
}

sqlite3_stmt* SettingsConnection::Prepare(Statement statement) {
    sqlite3_stmt*& slot = m_statements[static_cast<size_t>(statement)];
    if (!slot) {
        const char* text = kStatementTexts[static_cast<size_t>(statement)];
        if (sqlite3_prepare_v3(m_database, text, -1, SQLITE_PREPARE_PERSISTENT, &slot, nullptr) !=
            SQLITE_OK) {
            sqlite3_finalize(slot);
            slot = nullptr;
            return nullptr;
        }
    }
    sqlite3_reset(slot);
    sqlite3_clear_bindings(slot);
    return slot;
}

bool SettingsConnection::Execute(const char* sql) {
    return sqlite3_exec(m_database, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

BorrowedConnection::BorrowedConnection() : m_connection(Pool().Take()) {}

BorrowedConnection::~BorrowedConnection() {
    if (m_connection)
        Pool().Give(std::move(m_connection));
}

WriteTransaction::WriteTransaction(SettingsConnection& connection) : m_connection(connection) {
    m_active = m_connection.Execute("BEGIN IMMEDIATE");
}

WriteTransaction::~WriteTransaction() {
    if (m_active)
        m_connection.Execute("ROLLBACK");
}

bool WriteTransaction::Commit() {
    if (!m_active)
        return false;
    m_active = false;
    if (m_connection.Execute("COMMIT"))
        return true;
    m_connection.Execute("ROLLBACK");
    return false;
}

std::string SettingsDatabasePath() {
    return GetConfigFolderPath() + "/" + kDatabaseFileName;
}

std::unique_ptr<SettingsConnection> OpenSettingsConnection() {
    return OpenConnection(SettingsDatabasePath());
}

void CloseSettingsConnections() {
    Pool().CloseAll();
}

}  // namespace sarvo
