#include "ui/dialogs/LogbookTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cstring>
#include <utility>

namespace sarvo::ui {
namespace {

const QColor kNavy(0, 0, 128);
constexpr int kMargin = 4;
// Lines are measured up to this many characters, so a file without line ends keeps a width that fits
// the scroll bar's range; the rest of such a line is not reachable by scrolling.
constexpr size_t kWidestLine = 65535;

}  // namespace

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

LogbookTextView::LogbookTextView(QWidget* parent)
    : QAbstractScrollArea(parent), m_lines(std::make_shared<LogbookLines>()) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QPalette palette = this->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, kNavy);
        palette.setColor(group, QPalette::Text, Qt::white);
    }
    setPalette(palette);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setCursor(Qt::IBeamCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void LogbookTextView::SetLines(std::shared_ptr<const LogbookLines> lines) {
    m_lines = std::move(lines);
    m_caret = m_anchor = std::max(0, LineCount() - 1);
    UpdateScrollBars();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

void LogbookTextView::Clear() {
    SetLines(std::make_shared<LogbookLines>());
}

QString LogbookTextView::LineText(int line) const {
    if (line < 0 || line >= LineCount())
        return {};
    const std::vector<size_t>& starts = m_lines->starts;
    const size_t start = starts[static_cast<size_t>(line)];
    size_t end = static_cast<size_t>(line) + 1 < starts.size() ? starts[static_cast<size_t>(line) + 1]
                                                               : m_lines->text.size();
    while (end > start && (m_lines->text[end - 1] == '\n' || m_lines->text[end - 1] == '\r'))
        --end;
    return QString::fromUtf8(m_lines->text.data() + start, static_cast<qsizetype>(end - start));
}

int LogbookTextView::FirstVisibleLine() const {
    return verticalScrollBar()->value();
}

QString LogbookTextView::SelectedText() const {
    QStringList lines;
    for (int line = std::min(m_anchor, m_caret); line <= std::max(m_anchor, m_caret) && line < LineCount();
         ++line)
        lines.append(LineText(line));
    return lines.join(QLatin1Char('\n'));
}

int LogbookTextView::LineHeight() const {
    return fontMetrics().height();
}

int LogbookTextView::VisibleLines() const {
    return std::max(1, (viewport()->height() - kMargin) / LineHeight());
}

int LogbookTextView::LineAt(int y) const {
    const int line = FirstVisibleLine() + std::max(0, y - kMargin) / LineHeight();
    return std::clamp(line, 0, std::max(0, LineCount() - 1));
}

void LogbookTextView::UpdateScrollBars() {
    const int visible = VisibleLines();
    verticalScrollBar()->setRange(0, std::max(0, LineCount() - visible));
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setSingleStep(1);
    const int columns = static_cast<int>(std::min(m_lines->longestLine, kWidestLine));
    const int width = fontMetrics().horizontalAdvance(QLatin1Char('M')) * columns + 2 * kMargin;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(fontMetrics().horizontalAdvance(QLatin1Char('M')));
}

void LogbookTextView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const int height = LineHeight();
    const int first = FirstVisibleLine();
    const int last = std::min(LineCount(), first + VisibleLines() + 1);
    const int low = std::min(m_anchor, m_caret);
    const int high = std::max(m_anchor, m_caret);
    const int x = kMargin - horizontalScrollBar()->value();
    const bool focused = hasFocus();
    for (int line = first; line < last; ++line) {
        const QRect row(0, kMargin + (line - first) * height, viewport()->width(), height);
        const bool selected = line >= low && line <= high && (focused || low != high);
        if (selected)
            painter.fillRect(row, palette().color(QPalette::Highlight));
        painter.setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(x, row.top() + fontMetrics().ascent(), LineText(line));
    }
}

void LogbookTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void LogbookTextView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    MoveCaret(LineAt(event->position().toPoint().y()),
              event->modifiers() & Qt::ShiftModifier ? Selection::Extend : Selection::Move);
}

void LogbookTextView::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton)
        MoveCaret(LineAt(event->position().toPoint().y()), Selection::Extend);
}

void LogbookTextView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(SelectedText());
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        m_anchor = 0;
        MoveCaret(LineCount() - 1, Selection::Extend);
        return;
    }
    const Selection selection = event->modifiers() & Qt::ShiftModifier ? Selection::Extend : Selection::Move;
    switch (event->key()) {
        case Qt::Key_Up:
            return MoveCaret(m_caret - 1, selection);
        case Qt::Key_Down:
            return MoveCaret(m_caret + 1, selection);
        case Qt::Key_PageUp:
            return MoveCaret(m_caret - VisibleLines(), selection);
        case Qt::Key_PageDown:
            return MoveCaret(m_caret + VisibleLines(), selection);
        case Qt::Key_Home:
            return MoveCaret(0, selection);
        case Qt::Key_End:
            return MoveCaret(LineCount() - 1, selection);
        case Qt::Key_Left:
            horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
            return;
        case Qt::Key_Right:
            horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            return;
        default:
            QAbstractScrollArea::keyPressEvent(event);
    }
}

void LogbookTextView::MoveCaret(int line, Selection selection) {
    m_caret = std::clamp(line, 0, std::max(0, LineCount() - 1));
    if (selection == Selection::Move)
        m_anchor = m_caret;
    const int first = FirstVisibleLine();
    if (m_caret < first)
        verticalScrollBar()->setValue(m_caret);
    else if (m_caret >= first + VisibleLines())
        verticalScrollBar()->setValue(m_caret - VisibleLines() + 1);
    viewport()->update();
}

}  // namespace sarvo::ui
