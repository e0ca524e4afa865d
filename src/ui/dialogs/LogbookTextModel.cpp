#include "ui/dialogs/LogbookTextModel.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace sarvo::ui {

std::shared_ptr<const LogbookLines> SplitLogbookLines(std::string text) {
    auto lines = std::make_shared<LogbookLines>();
    lines->text = std::move(text);
    const std::string& all = lines->text;
    size_t start = 0;
    while (start < all.size()) {
        lines->starts.push_back(start);
        const void* end = std::memchr(all.data() + start, '\n', all.size() - start);
        const size_t next =
            end ? static_cast<size_t>(static_cast<const char*>(end) - all.data()) + 1 : all.size();
        lines->longestLine = std::max(lines->longestLine, next - start);
        start = next;
    }
    return lines;
}

LogbookTextModel::LogbookTextModel(QObject* parent)
    : QAbstractListModel(parent), m_lines(std::make_shared<LogbookLines>()) {}

int LogbookTextModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_lines->starts.size());
}

QVariant LogbookTextModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::SizeHintRole)
        return m_lineSize.isValid() ? QVariant(m_lineSize) : QVariant();
    if (role != Qt::DisplayRole)
        return {};
    const std::vector<size_t>& starts = m_lines->starts;
    const size_t row = static_cast<size_t>(index.row());
    const size_t start = starts[row];
    size_t end = row + 1 < starts.size() ? starts[row + 1] : m_lines->text.size();
    while (end > start && (m_lines->text[end - 1] == '\n' || m_lines->text[end - 1] == '\r'))
        --end;
    return QString::fromUtf8(m_lines->text.data() + start, static_cast<qsizetype>(end - start));
}

void LogbookTextModel::SetLines(std::shared_ptr<const LogbookLines> lines) {
    beginResetModel();
    m_lines = std::move(lines);
    endResetModel();
}

void LogbookTextModel::Clear() {
    SetLines(std::make_shared<LogbookLines>());
}

}  // namespace sarvo::ui
