#pragma once

#include <QAbstractListModel>
#include <QSize>

#include <memory>
#include <string>
#include <vector>

namespace sarvo::ui {

// Logbook text split into its lines once, so that a view of a hundred megabytes shows only the lines
// on screen. Built on a worker thread, handed whole to the model.
struct LogbookLines {
    std::string text;
    std::vector<size_t> starts;  // where each line begins
    size_t longestLine = 0;      // in bytes, without its line end
};

// Splits at LF; a CR before it is not shown. Text after the last line end makes a last line.
std::shared_ptr<const LogbookLines> SplitLogbookLines(std::string text);

// One row per line of the logbook text.
class LogbookTextModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit LogbookTextModel(QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void SetLines(std::shared_ptr<const LogbookLines> lines);
    void Clear();
    const LogbookLines& Lines() const { return *m_lines; }
    // The size of every row, which the view measures from its font.
    void SetLineSize(QSize size) { m_lineSize = size; }

private:
    std::shared_ptr<const LogbookLines> m_lines;
    QSize m_lineSize;
};

}  // namespace sarvo::ui
