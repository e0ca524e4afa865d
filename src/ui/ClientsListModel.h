#pragma once

#include <QAbstractTableModel>
#include <QTimer>

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/Notification.h"
#include "platform/Socket.h"
#include "server/ClientActivity.h"

// The rows of the clients list: one per recent connection, newest first. Connection threads hand
// their events to Enqueue; the GUI thread applies them in order, a burst at a time, once per repaint
// interval, so a flood of connections costs one repaint per interval rather than one per event. What
// the list shows after each burst is what applying every event in turn would show.
namespace sarvo::ui {

enum ClientsColumn { kClientTime, kClientIp, kClientAction, kClientObject, kClientProgress, kClientColumns };

// The list keeps this many rows; only rows of closed connections are pruned to keep it there.
inline constexpr int kClientRowLimit = 10;
// A burst is applied this long after its first event: about one repaint of a 60 Hz screen.
inline constexpr int kClientCoalesceMs = 16;

struct ClientRow {
    SocketHandle socket = kInvalidSocket;
    uint64_t serial = 0;  // tells rows apart across bursts, for the view's selection
    bool open = true;     // false once the connection closed; only the row's texts remain
    QString time;
    QString address;
    QString action;
    QString object;
    QString progress;
};

class ClientsListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ClientsListModel(QObject* parent = nullptr);

    // Thread-safe: called by the notification target on the posting thread. The connection's record is
    // copied now, so that a later connection on the same socket value cannot lend it its texts.
    void Enqueue(uint32_t eventCode, SocketHandle socket);

    // Applies what is queued now, at once (the timer's step; tests call it too).
    void ApplyPending();
    // Applies one event, reading the connection's record from the client activity table.
    void Apply(uint32_t eventCode, SocketHandle socket);
    void Clear();

    const ClientRow& Row(int row) const { return m_rows[static_cast<size_t>(row)]; }
    // The row that carries the serial number, -1 when it is gone.
    int FindSerial(uint64_t serial) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Event {
        uint32_t code;
        SocketHandle socket;
        std::optional<ClientRecord> record;
    };

    void ApplyRecord(uint32_t eventCode, SocketHandle socket, const std::optional<ClientRecord>& record);

    void ScheduleApply();
    void PruneClosedRows();
    int FindOpenRow(SocketHandle socket) const;
    void ApplyBurst(const std::vector<Event>& burst);

    std::vector<ClientRow> m_rows;
    std::mutex m_queueLock;
    std::vector<Event> m_queue;  // guarded by m_queueLock
    QTimer m_applyTimer;
    uint64_t m_lastSerial = 0;
};

}  // namespace sarvo::ui

namespace sarvo::ui {

// Hands client events to the model's queue on the posting thread; the model wakes the GUI thread.
class ClientsNotificationTarget : public NotificationTarget {
public:
    explicit ClientsNotificationTarget(ClientsListModel& model);
    ~ClientsNotificationTarget() override;
    ClientsNotificationTarget(const ClientsNotificationTarget&) = delete;
    ClientsNotificationTarget& operator=(const ClientsNotificationTarget&) = delete;

    void Post(uint32_t commandId, uintptr_t argument) override;

private:
    ClientsListModel& m_model;
};

}  // namespace sarvo::ui
