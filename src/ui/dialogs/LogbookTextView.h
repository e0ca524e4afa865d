#pragma once

#include <QAbstractScrollArea>
#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace sarvo::ui {

// Logbook text split into its lines once, so that the view of a hundred megabytes draws only the
// lines on screen. Built on a worker thread, handed whole to the view.
struct LogbookLines {
    std::string text;
    std::vector<size_t> starts;  // where each line begins
    size_t longestLine = 0;      // in bytes, line end included
};

// Splits after each LF. Text after the last line end makes a last line.
std::shared_ptr<const LogbookLines> SplitLogbookLines(std::string text);

// The logbook's read-only text: every line in the one fixed-pitch font, white on navy. Its cost does
// not grow with the text: painting, scrolling and setting new text touch only the lines on screen.
// Whole lines are selected with the mouse or with Shift and the arrow keys, and Ctrl+C copies them.
class LogbookTextView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit LogbookTextView(QWidget* parent);

    // Shows lines with the caret on the last line, scrolled to the end.
    void SetLines(std::shared_ptr<const LogbookLines> lines);
    void Clear();

    const LogbookLines& Lines() const { return *m_lines; }
    int LineCount() const { return static_cast<int>(m_lines->starts.size()); }
    // The line without its CR LF.
    QString LineText(int line) const;
    int CaretLine() const { return m_caret; }
    int FirstVisibleLine() const;
    // The selected lines, joined by LF.
    QString SelectedText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Selection { Move, Extend };

    int LineHeight() const;
    int VisibleLines() const;
    int LineAt(int y) const;
    void MoveCaret(int line, Selection selection);
    void UpdateScrollBars();

    std::shared_ptr<const LogbookLines> m_lines;
    int m_caret = 0;
    int m_anchor = 0;
};

}  // namespace sarvo::ui
