#pragma once

#include <QFutureWatcher>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "ui/dialogs/LogbookTextView.h"
#include "ui/dialogs/PropertyDialog.h"
#include "ui/dialogs/WaitCursor.h"

namespace sarvo::ui {

// Shows the logbook, the records that contain a text, and empties it. The file is read and split into
// lines on a worker thread, so a logbook of a hundred megabytes leaves the window responsive; the view
// draws only the lines on screen.
class LogbookViewerDialog : public PropertyDialog {
    Q_OBJECT

public:
    // The dialog is on screen before the file is read.
    static constexpr int kFirstRefreshDelayMs = 100;

    explicit LogbookViewerDialog(QWidget* parent);

    // Reads the whole file and shows it with its end in view; a file that cannot be read leaves the
    // text as it was.
    void Refresh();
    // Shows only the records that contain text.
    void ListRecordsContaining(const QString& text);
    // Empties the file and the view, asking first when the file is not empty.
    void Reset();

    // True while a read started by Refresh or ListRecordsContaining has not been shown yet.
    bool IsLoading() const { return m_loading != nullptr; }
    const LogbookLines& ShownLines() const { return m_view->Lines(); }

signals:
    // A read has been shown (or, for a file that could not be read, dropped).
    void Loaded();

protected:
    void Load() override;
    void UpdateControls() override;
    void Save() override;

private:
    // A worker's outcome: the lines to show, or nothing when the file could not be read.
    using Outcome = std::optional<std::shared_ptr<const LogbookLines>>;

    void ListRecords();
    void StartReading(std::function<Outcome()> work);
    void StopReading();
    void Show(const Outcome& outcome);

    LogbookTextView* m_view;
    QFutureWatcher<Outcome>* m_loading = nullptr;
    std::optional<WaitCursor> m_wait;
};

}  // namespace sarvo::ui
