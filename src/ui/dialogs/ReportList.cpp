#include "ui/dialogs/ReportList.h"

#include <QHeaderView>
#include <QSortFilterProxyModel>

#include <algorithm>
#include <utility>

namespace sarvo::ui {
namespace {

// The proxy sorts by this role: the text, or its number for a column that sorts numerically.
constexpr int kSortRole = Qt::UserRole;
// Room beside a cell's text for its margins and the column's separator.
constexpr int kCellPadding = 16;

}  // namespace

ReportListModel::ReportListModel(std::vector<ReportColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(std::move(columns)) {}

int ReportListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ReportListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ReportListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const QStringList& row = m_rows[static_cast<size_t>(index.row())];
    const QString text = index.column() < row.size() ? row[index.column()] : QString();
    const ReportColumn& column = m_columns[static_cast<size_t>(index.column())];
    switch (role) {
        case Qt::DisplayRole:
            return text;
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(
                Qt::AlignVCenter |
                (column.align == ReportColumn::Align::Right ? Qt::AlignRight : Qt::AlignLeft));
        case kSortRole:
            if (column.sortAs == ReportColumn::SortAs::Number)
                return text.toULongLong();
            return text;
        default:
            return {};
    }
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    const ReportColumn& column = m_columns[static_cast<size_t>(section)];
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(column.title);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(
            Qt::AlignVCenter | (column.align == ReportColumn::Align::Right ? Qt::AlignRight : Qt::AlignLeft));
    return {};
}

void ReportListModel::SetRows(std::vector<QStringList> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int ReportListModel::AppendRow(QStringList row) {
    const int at = rowCount();
    beginInsertRows({}, at, at);
    m_rows.push_back(std::move(row));
    endInsertRows();
    return at;
}

void ReportListModel::ReplaceRow(int row, QStringList texts) {
    m_rows[static_cast<size_t>(row)] = std::move(texts);
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void ReportListModel::RemoveRows(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // From the bottom up, so that the numbers of the runs still to remove stay valid; one notice per
    // run keeps removing thousands of selected rows cheap.
    auto last = rows.rbegin();
    while (last != rows.rend()) {
        auto first = last;
        while (std::next(first) != rows.rend() && *std::next(first) == *first - 1)
            ++first;
        beginRemoveRows({}, *first, *last);
        m_rows.erase(m_rows.begin() + *first, m_rows.begin() + *last + 1);
        endRemoveRows();
        last = std::next(first);
    }
}

ReportList::ReportList(const char* name, std::vector<ReportColumn> columns, Sorting sorting, QWidget* parent)
    : QTreeView(parent),
      m_model(new ReportListModel(std::move(columns), this)),
      m_proxy(new QSortFilterProxyModel(this)) {
    setObjectName(QString::fromUtf8(name));
    m_proxy->setSourceModel(m_model);
    m_proxy->setSortRole(kSortRole);
    m_proxy->setSortCaseSensitivity(Qt::CaseInsensitive);
    setModel(m_proxy);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    // Every row is one line high: the view then lays out ten thousand rows without measuring each.
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(SelectRows);
    setSelectionMode(ExtendedSelection);
    setEditTriggers(NoEditTriggers);
    header()->setStretchLastSection(true);
    header()->setSectionsMovable(false);
    const std::vector<ReportColumn>& shown = m_model->Columns();
    for (size_t i = 0; i < shown.size(); ++i) {
        int width = shown[i].width;
        if (shown[i].widest)
            width = std::max(
                width, fontMetrics().horizontalAdvance(QString::fromUtf8(shown[i].widest)) + kCellPadding);
        if (width > 0)
            header()->resizeSection(static_cast<int>(i), width);
    }
    if (sorting == Sorting::ByHeaderClick) {
        // Rows stay in the order given until the owner clicks a header.
        header()->setSortIndicator(-1, Qt::AscendingOrder);
        setSortingEnabled(true);
    }
}

std::vector<int> ReportList::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.push_back(m_proxy->mapToSource(index).row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ReportList::SelectOnly(int row) {
    const QModelIndex index = m_proxy->mapFromSource(m_model->index(row, 0));
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

}  // namespace sarvo::ui
