#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace sarvo {

class SettingsConnection;

// The header of the write-ahead log's shared index as it read at one moment. SQLite writes it anew,
// with a counter moved on, at every commit of any process, so two equal marks mean no commit came
// between them.
struct CommitMark {
    std::array<uint32_t, 12> words{};
    bool operator==(const CommitMark&) const = default;
};

// Tells whether the settings database may have changed without a query or a system call: it reads
// the index header that every connection of every process maps, as SQLite's own readers do before
// they take a lock. A connection of its own keeps the index mapped (and in place) while it lives.
class CommitWatch {
public:
    // Null when the database keeps no shared index (another journal mode) or it cannot be mapped.
    static std::unique_ptr<CommitWatch> Open();
    ~CommitWatch();
    CommitWatch(const CommitWatch&) = delete;
    CommitWatch& operator=(const CommitWatch&) = delete;

    const std::string& DatabasePath() const;
    // False while a commit is writing the header: the caller cannot tell and must ask the database.
    bool Read(CommitMark& out) const;

private:
    CommitWatch(std::unique_ptr<SettingsConnection> connection, const volatile uint32_t* index);

    std::unique_ptr<SettingsConnection> m_connection;
    const volatile uint32_t* m_index;
};

}  // namespace sarvo
