#include "ui/ClientsListModel.h"

#include <arpa/inet.h>

#include <QDateTime>

#include <utility>

#include "common/Format.h"
#include "server/ClientActivity.h"
#include "ui/QtText.h"
#include "ui/UiTexts.h"

namespace sarvo::ui {
namespace {

QString ActionText(uint32_t action) {
    switch (action) {
        case kActionDownload:
            return QString::fromLatin1(kTextActionDownload);
        case kActionUpload:
            return QString::fromLatin1(kTextActionUpload);
        case kActionFailed:
            return QString::fromLatin1(kTextActionBadRequest);
        default:
            return {};
    }
}

QString AddressText(const sockaddr_in& peer) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(&peer.sin_addr.s_addr);
    return QString::fromStdString(Format("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]));
}

const char* const kColumnTitles[kClientColumns] = {kTextColumnTime, kTextColumnIp, kTextColumnAction,
                                                   kTextColumnObject, kTextColumnProgress};

}  // namespace

ClientsListModel::ClientsListModel(QObject* parent) : QAbstractTableModel(parent) {
    m_applyTimer.setSingleShot(true);
    m_applyTimer.setInterval(kClientCoalesceMs);
    connect(&m_applyTimer, &QTimer::timeout, this, &ClientsListModel::ApplyPending);
}

void ClientsListModel::Enqueue(uint32_t eventCode, SocketHandle socket) {
    Event event{eventCode, socket, CopyClientRecord(socket)};
    bool wasEmpty;
    {
        std::lock_guard<std::mutex> hold(m_queueLock);
        wasEmpty = m_queue.empty();
        m_queue.push_back(std::move(event));
    }
    // One queued call per burst: the queue's first event wakes the GUI thread, the rest wait for it.
    if (wasEmpty)
        QMetaObject::invokeMethod(this, &ClientsListModel::ScheduleApply, Qt::QueuedConnection);
}

void ClientsListModel::ScheduleApply() {
    if (!m_applyTimer.isActive())
        m_applyTimer.start();
}

void ClientsListModel::ApplyPending() {
    std::vector<Event> burst;
    {
        std::lock_guard<std::mutex> hold(m_queueLock);
        burst.swap(m_queue);
    }
    ApplyBurst(burst);
}

// The rows change without a signal each; the view hears of the whole burst once, as a reset, and puts
// its selection back by the row's serial number.
void ClientsListModel::ApplyBurst(const std::vector<Event>& burst) {
    if (burst.empty())
        return;
    beginResetModel();
    for (const Event& event : burst)
        ApplyRecord(event.code, event.socket, event.record);
    endResetModel();
}

int ClientsListModel::FindSerial(uint64_t serial) const {
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].serial == serial)
            return static_cast<int>(i);
    }
    return -1;
}

void ClientsListModel::Apply(uint32_t eventCode, SocketHandle socket) {
    ApplyBurst({Event{eventCode, socket, CopyClientRecord(socket)}});
}

void ClientsListModel::ApplyRecord(uint32_t eventCode, SocketHandle socket,
                                   const std::optional<ClientRecord>& record) {
    PruneClosedRows();
    if (!record)
        return;
    if (eventCode == kClientInfoConnected) {
        ClientRow row;
        row.socket = socket;
        row.serial = ++m_lastSerial;
        row.time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        row.address = AddressText(record->peer);
        row.action = QString::fromLatin1(kTextActionConnect);
        m_rows.insert(m_rows.begin(), std::move(row));
        return;
    }
    const int found = FindOpenRow(socket);
    if (found < 0)
        return;
    ClientRow& row = m_rows[static_cast<size_t>(found)];
    switch (eventCode) {
        case kClientInfoRequest:
            row.action = ActionText(record->action);
            row.object = FromAnsi(record->object);
            break;
        case kClientInfoProgress:
            row.progress =
                QString::fromStdString(FormatCount(record->done) + "/" + FormatCount(record->total));
            break;
        case kClientInfoClosed:
            row.action = QString::fromLatin1(kTextActionClosed);
            row.open = false;
            break;
        default:
            return;
    }
}

void ClientsListModel::Clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void ClientsListModel::PruneClosedRows() {
    while (static_cast<int>(m_rows.size()) >= kClientRowLimit) {
        int bottomClosed = -1;
        for (int i = static_cast<int>(m_rows.size()) - 1; i >= 0; --i) {
            if (!m_rows[static_cast<size_t>(i)].open) {
                bottomClosed = i;
                break;
            }
        }
        if (bottomClosed < 0)
            return;
        m_rows.erase(m_rows.begin() + bottomClosed);
    }
}

int ClientsListModel::FindOpenRow(SocketHandle socket) const {
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].open && m_rows[i].socket == socket)
            return static_cast<int>(i);
    }
    return -1;
}

int ClientsListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ClientsListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kClientColumns;
}

QVariant ClientsListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (index.column() == kClientProgress ? Qt::AlignRight : Qt::AlignLeft));
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const ClientRow& row = Row(index.row());
    switch (index.column()) {
        case kClientTime:
            return row.time;
        case kClientIp:
            return row.address;
        case kClientAction:
            return row.action;
        case kClientObject:
            return row.object;
        case kClientProgress:
            return row.progress;
        default:
            return {};
    }
}

QVariant ClientsListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kClientColumns)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kColumnTitles[section]);
    if (role == Qt::TextAlignmentRole && section == kClientProgress)
        return QVariant::fromValue(Qt::AlignVCenter | Qt::AlignRight);
    return {};
}

}  // namespace sarvo::ui

namespace sarvo::ui {

ClientsNotificationTarget::ClientsNotificationTarget(ClientsListModel& model) : m_model(model) {
    SetNotificationTarget(NotificationChannel::ClientsList, this);
}

ClientsNotificationTarget::~ClientsNotificationTarget() {
    SetNotificationTarget(NotificationChannel::ClientsList, nullptr);
}

void ClientsNotificationTarget::Post(uint32_t commandId, uintptr_t argument) {
    m_model.Enqueue(commandId, static_cast<SocketHandle>(argument));
}

}  // namespace sarvo::ui
