#pragma once

#include <QMessageBox>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>

#include "support/TempFolder.h"

namespace sarvo::ui {
class FoldersListView;
class MainWindow;
}  // namespace sarvo::ui

namespace sarvo::test {

// A settings home of its own with the server set to a free loopback port, for tests and the gallery
// that drive the real window.
class WindowHome {
public:
    WindowHome();

    ScopedSarvoHome& Home() { return m_home; }
    uint16_t Port() const { return m_port; }
    // Publishes a new folder of the home under the name, with the given flags.
    std::string ShareFolder(const std::string& name, bool subfolders = true, bool canPost = false,
                            bool visible = true, bool zip = false);

private:
    ScopedSarvoHome m_home;
    uint16_t m_port = 0;
};

// Waits (bounded) until the condition holds, processing the GUI thread's events meanwhile.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000);

// Answers the next message box that opens (within ten seconds) with the given button; its text is
// handed back in *shownText when asked. A box without that button is closed, as with Escape.
void AnswerNextMessageBox(QMessageBox::StandardButton answer, QString* shownText = nullptr);

// Makes the folders list's row with this text the current and only selected one; false when there is
// no such row.
bool SelectFolderRow(ui::FoldersListView& folders, const QString& text);

// Answers the next folder dialog: reports the folder it opened at into openedAt, then chooses the
// folder (or cancels when folder is empty).
void AnswerNextFolderDialog(QString* openedAt, const QString& folder);

// Presses "Start Server" and waits for the outcome.
bool StartThroughButton(ui::MainWindow& window);
// Presses "Start Server" again, answers the stop confirmation with Yes and waits for the stop.
bool StopThroughButton(ui::MainWindow& window);

}  // namespace sarvo::test
