#pragma once

#include <QDialog>

#include <cstdint>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace sarvo::ui {

class ClientsListView;
class FilesListView;
class FoldersListView;
class QueuedNotificationTarget;
class ClientsNotificationTarget;

// The control window: the published folders and files, the site's address, the clients, and the
// button that starts and stops the server. Closing it while the server runs only hides it; closing it
// while the server is stopped ends it with kCloseResult.
class MainWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kCloseResult = 1;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Queues a command to this window, as the core's posts arrive.
    void PostCommand(uint32_t command);
    void HandleCommand(uint32_t command);

    bool IsBusy() const { return m_busy; }
    FoldersListView& Folders() { return *m_folders; }
    FilesListView& Files() { return *m_files; }
    ClientsListView& Clients() { return *m_clients; }
    QString UrlText() const;

    // The step behind "Start Server", also offered by the tray: start when stopped, stop (after the
    // owner's confirmation) when running. Ignored while a start or stop is under way.
    void ToggleServer();
    // Shows the window in front of the others, also when it was hidden.
    void BringToFront();
    // Close: hides while the server runs, ends while it is stopped, ignored while busy.
    void RequestClose();
    // Ends the program: after the stop confirmation and the stop while the server runs.
    void RequestQuit();
    // Closes the chat room, if open, and waits for its end.
    void CloseChatRoom();

signals:
    void serverStateChanged(bool running);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void BuildControls();
    void CentreOnScreen();
    void OnStartButtonClicked(bool checked);
    void BeginStop();
    void SetBusy(bool busy);
    void OnServerStarted();
    void OnServerStartFailed();
    void OnServerStopped();
    void SetStatusText(const QString& text, bool running);
    void RefreshUrl();
    void UpdateControls();
    void OpenUrl();
    void CopyUrl();
    void ShowQrCode();
    void SelectIp();
    void OpenServerProperty();
    void OpenWebchatPage();

    FilesListView* m_files = nullptr;
    FoldersListView* m_folders = nullptr;
    ClientsListView* m_clients = nullptr;
    QLineEdit* m_url = nullptr;
    QPushButton* m_open = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_qrCode = nullptr;
    QPushButton* m_selectIp = nullptr;
    QPushButton* m_start = nullptr;
    QLabel* m_status = nullptr;
    bool m_busy = false;
    bool m_quitAfterStop = false;
    std::unique_ptr<QueuedNotificationTarget> m_serverEvents;
    std::unique_ptr<QueuedNotificationTarget> m_chatEvents;
    std::unique_ptr<ClientsNotificationTarget> m_clientEvents;
};

}  // namespace sarvo::ui
