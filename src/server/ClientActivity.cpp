#include "server/ClientActivity.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <type_traits>

#include "common/TextHolder.h"
#include "common/Url.h"
#include "platform/Notification.h"

namespace sarvo {
namespace {

// The stored form keeps the object inline, so that records can be zeroed, grown and moved as plain
// memory and the table can grow without anything that throws.
struct StoredRecord {
    SocketHandle socket;
    sockaddr_in peer;
    uint32_t action;
    FileTime connectedAt;
    FileTime closedAt;
    uint64_t total;
    uint64_t done;
    char object[kClientObjectMax + 1];
};
static_assert(std::is_trivially_copyable_v<StoredRecord>, "the table is moved with realloc");

// One lock for every access, growth included. The table is never freed: connection threads are
// detached and may still record while the process exits.
struct ClientTable {
    std::mutex lock;
    StoredRecord* records = nullptr;
    size_t count = 0;
};

ClientTable& Table() {
    static ClientTable* table = new ClientTable;
    return *table;
}

bool Grow(ClientTable& table) {
    const size_t grown = table.count + kClientTableStep;
    void* moved = std::realloc(table.records, grown * sizeof(StoredRecord));
    if (!moved)
        return false;
    table.records = static_cast<StoredRecord*>(moved);
    for (size_t index = table.count; index < grown; ++index)
        new (&table.records[index]) StoredRecord{};
    table.count = grown;
    return true;
}

// The table has its first records from the first use on.
void EnsureCreated(ClientTable& table) {
    if (!table.records)
        Grow(table);
}

bool IsUsed(const StoredRecord& record) {
    return record.connectedAt.ticks != 0;
}

bool IsFree(const StoredRecord& record) {
    return !IsUsed(record) || record.closedAt.ticks != 0;
}

// Never-used slots hold socket 0 as well, so only used records can match.
StoredRecord* Find(ClientTable& table, SocketHandle socket) {
    for (size_t index = 0; index < table.count; ++index) {
        StoredRecord& record = table.records[index];
        if (IsUsed(record) && record.socket == socket)
            return &record;
    }
    return nullptr;
}

// Posting happens after the lock is released: a target may copy the record at once.
void Post(uint32_t commandId, SocketHandle socket) {
    PostNotification(NotificationChannel::ClientsList, commandId, static_cast<uintptr_t>(socket));
}

}  // namespace

void RecordConnected(SocketHandle socket) {
    sockaddr_in peer{};
    if (GetPeerName(socket, peer) < 0)
        peer = sockaddr_in{};
    RecordConnected(socket, peer);
}

void RecordConnected(SocketHandle socket, const sockaddr_in& peer) {
    const FileTime now = GetSystemTimeAsFileTime();
    {
        ClientTable& table = Table();
        std::lock_guard<std::mutex> hold(table.lock);
        EnsureCreated(table);
        StoredRecord* slot = nullptr;
        StoredRecord* firstFree = nullptr;
        for (size_t index = 0; index < table.count; ++index) {
            StoredRecord& record = table.records[index];
            if (IsUsed(record) && record.socket == socket) {
                slot = &record;
                break;
            }
            if (!firstFree && IsFree(record))
                firstFree = &record;
        }
        if (!slot)
            slot = firstFree;
        if (!slot) {
            const size_t first = table.count;
            if (!Grow(table))
                return;
            slot = &table.records[first];
        }
        *slot = StoredRecord{};
        slot->socket = socket;
        slot->peer = peer;
        slot->connectedAt = now;
    }
    Post(kClientInfoConnected, socket);
}

void RecordRequest(SocketHandle socket, uint32_t action, std::string_view object) {
    TextHolder decoded;
    UrlDecode(decoded, object);
    const size_t length = std::min(decoded.Length(), kClientObjectMax);
    {
        ClientTable& table = Table();
        std::lock_guard<std::mutex> hold(table.lock);
        StoredRecord* record = Find(table, socket);
        if (!record)
            return;
        record->action = action;
        std::memset(record->object, 0, sizeof record->object);
        std::memcpy(record->object, decoded.Text(), length);
    }
    Post(kClientInfoRequest, socket);
}

void UpdateProgress(SocketHandle socket, uint64_t total, uint64_t done) {
    {
        ClientTable& table = Table();
        std::lock_guard<std::mutex> hold(table.lock);
        StoredRecord* record = Find(table, socket);
        if (!record)
            return;
        record->total = total;
        record->done = done;
    }
    Post(kClientInfoProgress, socket);
}

void RecordClosed(SocketHandle socket) {
    const FileTime now = GetSystemTimeAsFileTime();
    {
        ClientTable& table = Table();
        std::lock_guard<std::mutex> hold(table.lock);
        StoredRecord* record = Find(table, socket);
        if (!record)
            return;
        record->closedAt = now;
    }
    Post(kClientInfoClosed, socket);
}

std::optional<ClientRecord> CopyClientRecord(SocketHandle socket) {
    StoredRecord copy;
    {
        ClientTable& table = Table();
        std::lock_guard<std::mutex> hold(table.lock);
        StoredRecord* record = Find(table, socket);
        if (!record)
            return std::nullopt;
        copy = *record;
    }
    ClientRecord out;
    out.socket = copy.socket;
    out.peer = copy.peer;
    out.action = copy.action;
    out.connectedAt = copy.connectedAt;
    out.closedAt = copy.closedAt;
    out.total = copy.total;
    out.done = copy.done;
    out.object.assign(copy.object, strnlen(copy.object, sizeof copy.object));
    return out;
}

size_t ClientTableCapacity() {
    ClientTable& table = Table();
    std::lock_guard<std::mutex> hold(table.lock);
    EnsureCreated(table);
    return table.count;
}

void SendProgress::Bind(SocketHandle socket) {
    m_socket = socket;
    m_total = 0;
    m_done = 0;
}

void SendProgress::Start(uint64_t total) {
    m_total = total;
    m_done = 0;
}

void SendProgress::Add(uint64_t n) {
    m_done += n;
    UpdateProgress(m_socket, m_total, m_done);
}

}  // namespace sarvo
