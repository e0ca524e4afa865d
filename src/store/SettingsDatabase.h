#pragma once

#include <sqlite3.h>

#include <array>
#include <memory>
#include <string>

namespace sarvo {

// The statements the store runs, prepared once per connection.
enum class Statement {
    FindKey,
    InsertKey,
    ReadValue,
    UpsertValue,
    DeleteValue,
    SubkeyAt,
    ValueAt,
    ValuesOf,
    DeleteTreeValues,
    DeleteTreeKeys,
    ReadVersion,
    AllKeys,
    AllValues,
    Count
};

// One open connection to settings.db with its prepared statements.
class SettingsConnection {
public:
    SettingsConnection(sqlite3* database, std::string path);
    ~SettingsConnection();
    SettingsConnection(const SettingsConnection&) = delete;
    SettingsConnection& operator=(const SettingsConnection&) = delete;

    sqlite3* Database() const { return m_database; }
    const std::string& Path() const { return m_path; }

    // The statement, reset and with its bindings cleared; null when it cannot be prepared.
    sqlite3_stmt* Prepare(Statement statement);

    bool Execute(const char* sql);

private:
    sqlite3* m_database;
    std::string m_path;
    std::array<sqlite3_stmt*, static_cast<size_t>(Statement::Count)> m_statements{};
};

// A prepared statement in use; reset when the scope ends, so that no finished read keeps its
// snapshot of the database open (that would hide other processes' writes).
class ScopedStatement {
public:
    ScopedStatement(SettingsConnection& connection, Statement statement)
        : m_statement(connection.Prepare(statement)) {}
    ~ScopedStatement() {
        if (m_statement)
            sqlite3_reset(m_statement);
    }
    ScopedStatement(const ScopedStatement&) = delete;
    ScopedStatement& operator=(const ScopedStatement&) = delete;

    explicit operator bool() const { return m_statement != nullptr; }
    sqlite3_stmt* Get() const { return m_statement; }

private:
    sqlite3_stmt* m_statement;
};

// A connection borrowed from the process-wide pool for one operation. Threads come and go with
// requests, so connections are pooled rather than kept per thread: a new thread reuses an open one.
class BorrowedConnection {
public:
    BorrowedConnection();
    ~BorrowedConnection();
    BorrowedConnection(const BorrowedConnection&) = delete;
    BorrowedConnection& operator=(const BorrowedConnection&) = delete;

    explicit operator bool() const { return m_connection != nullptr; }
    SettingsConnection& operator*() const { return *m_connection; }

private:
    std::unique_ptr<SettingsConnection> m_connection;
};

// A write transaction on a borrowed connection; rolled back unless committed. BEGIN IMMEDIATE takes
// the write lock at once, so two writers never both read and then fail to upgrade.
class WriteTransaction {
public:
    explicit WriteTransaction(SettingsConnection& connection);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    bool IsActive() const { return m_active; }
    bool Commit();

private:
    SettingsConnection& m_connection;
    bool m_active = false;
};

std::string SettingsDatabasePath();
// A connection of the caller's own, outside the pool.
std::unique_ptr<SettingsConnection> OpenSettingsConnection();
void CloseSettingsConnections();

}  // namespace sarvo
