#include "ui/dialogs/ReportList.h"

#include "DialogTestSupport.h"

namespace sarvo::ui::test {
namespace {

// The rows' first texts in the order the list shows them.
QStringList Shown(ReportList& list, int column) {
    QStringList texts;
    for (int row = 0; row < list.model()->rowCount(); ++row)
        texts.append(list.model()->index(row, column).data().toString());
    return texts;
}

TEST_F(DialogTest, ReportListKeepsTheGivenOrderUntilAHeaderSortsIt) {
    ReportList list("Members", {{"ID", 100, {}, ReportColumn::SortAs::Number}, {"Name", 100}, {"IP", 0}},
                    ReportList::Sorting::ByHeaderClick, nullptr);
    list.Model().SetRows(
        {{"100", "bob", "10.0.0.2"}, {"9", "Alice", "10.0.0.10"}, {"10", "carl", "10.0.0.1"}});
    EXPECT_EQ(Shown(list, 0), (QStringList{"100", "9", "10"}));
    const struct {
        int column;
        QStringList ids;
    } sorts[] = {
        {0, {"9", "10", "100"}},  // numbers, not texts
        {1, {"9", "100", "10"}},  // Alice, bob, carl: case does not count
        {2, {"10", "9", "100"}},  // 10.0.0.1, 10.0.0.10, 10.0.0.2: the address as text
    };
    for (const auto& sort : sorts) {
        SCOPED_TRACE(sort.column);
        list.sortByColumn(sort.column, Qt::AscendingOrder);
        EXPECT_EQ(Shown(list, 0), sort.ids);
    }
    list.selectionModel()->select(list.model()->index(0, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(list.SelectedRows(), std::vector<int>{2}) << "rows are told by the model's numbers";
    list.Model().RemoveRows({0, 2});
    EXPECT_EQ(Shown(list, 0), QStringList{"9"});
}

}  // namespace
}  // namespace sarvo::ui::test
