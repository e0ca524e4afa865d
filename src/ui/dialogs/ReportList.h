#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QTreeView>

#include <vector>

class QSortFilterProxyModel;

namespace sarvo::ui {

// One column of a report list: its title, width in pixels (0: takes the rest of the list's width),
// whether its texts sit at the right, how a click on its header sorts it, and a text of the column's
// widest usual kind, which widens the column when the font needs more than the given width.
struct ReportColumn {
    enum class Align { Left, Right };
    enum class SortAs { Text, Number };

    const char* title;
    int width;
    Align align = Align::Left;
    SortAs sortAs = SortAs::Text;
    const char* widest = nullptr;
};

// The rows of a report list as plain texts, one QStringList per row. A row may carry texts past its last
// column, which are not shown: a key the dialog keeps with the row.
class ReportListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    ReportListModel(std::vector<ReportColumn> columns, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const std::vector<ReportColumn>& Columns() const { return m_columns; }
    const QStringList& Row(int row) const { return m_rows[static_cast<size_t>(row)]; }
    void SetRows(std::vector<QStringList> rows);
    int AppendRow(QStringList row);
    void ReplaceRow(int row, QStringList texts);
    // Removes the rows, given in any order, a run of neighbours at a time.
    void RemoveRows(std::vector<int> rows);

private:
    std::vector<ReportColumn> m_columns;
    std::vector<QStringList> m_rows;
};

// A list with column headers, whole rows selected, several at a time. Row numbers in its interface are
// the model's, whatever order a header click shows them in.
class ReportList : public QTreeView {
    Q_OBJECT

public:
    enum class Sorting { Fixed, ByHeaderClick };

    ReportList(const char* name, std::vector<ReportColumn> columns, Sorting sorting, QWidget* parent);

    ReportListModel& Model() const { return *m_model; }
    // The selected rows, in ascending order.
    std::vector<int> SelectedRows() const;
    // Makes row the only selected row and the current one, and scrolls to it.
    void SelectOnly(int row);

private:
    ReportListModel* m_model;
    QSortFilterProxyModel* m_proxy;
};

}  // namespace sarvo::ui
