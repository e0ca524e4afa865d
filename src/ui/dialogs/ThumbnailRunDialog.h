#pragma once

#include <QDialog>
#include <QProcess>
#include <QString>
#include <QTimer>

#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace sarvo::ui {

struct PictureCount {
    int done = 0;
    int total = 0;
};

// The last "done/total pictures" count in the thumbnail tool's live progress output, if any.
std::optional<PictureCount> LastPictureCount(const QString& output);

// Runs the thumbnail tool over one folder and shows its progress. Modal, so that the folder dialog
// under it ends only after the tool has ended; the rest of the program keeps running meanwhile, and the
// server keeps serving. Cancel (also Escape and the caption's close button) ends the tool, which then
// leaves the folder's index as it was.
class ThumbnailRunDialog : public QDialog {
    Q_OBJECT

public:
    // How long the tool has to stop on Cancel before it is killed; a killed tool never renames its
    // temporary file over the index either.
    static constexpr int kStopGraceMs = 10000;

    ThumbnailRunDialog(QWidget* parent, const QString& tool, const QString& folder, bool withSubfolders);

    // Starts the tool and returns once it has ended; false when it could not be started, which the
    // owner is not told about.
    bool Run();

    PictureCount Count() const { return m_count; }
    void reject() override;

private:
    void ReadProgress();
    void ShowCount();

    QProcess m_process;
    QString m_folder;
    QLabel* m_status;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
    QTimer m_killTimer;
    QString m_pending;
    PictureCount m_count;
};

}  // namespace sarvo::ui
