#include "ui/dialogs/ThumbnailRunDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProcessEnvironment>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <algorithm>

#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/NamedControls.h"

namespace sarvo::ui {
namespace {

// The tool draws its live line only for a terminal unless this variable of its environment asks for it
// (the tool's kProgressEnvironmentVariable).
constexpr char kProgressVariable[] = "PICTORN_PROGRESS";
constexpr char kProgressLive[] = "live";
constexpr int kDialogWidth = 420;

}  // namespace

std::optional<PictureCount> LastPictureCount(const QString& output) {
    static const QRegularExpression count(QStringLiteral("(\\d+)/(\\d+) pictures"));
    std::optional<PictureCount> last;
    for (QRegularExpressionMatchIterator it = count.globalMatch(output); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        last = PictureCount{match.captured(1).toInt(), match.captured(2).toInt()};
    }
    return last;
}

ThumbnailRunDialog::ThumbnailRunDialog(QWidget* parent, const QString& tool, const QString& folder,
                                       bool withSubfolders)
    : QDialog(parent), m_folder(folder) {
    setWindowTitle(QString::fromUtf8(kThumbnailProgressCaption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    setMinimumWidth(kDialogWidth);
    auto* layout = new QVBoxLayout(this);
    m_status = new QLabel(QString::fromUtf8(kThumbnailStarting).arg(folder), this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("progress"));
    m_bar->setRange(0, 0);
    m_cancel = NamedButton(kCancelButton, this);
    layout->addWidget(m_status);
    layout->addWidget(m_bar);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);

    m_process.setProgram(tool);
    m_process.setArguments({folder, withSubfolders ? QStringLiteral("1") : QStringLiteral("0")});
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromUtf8(kProgressVariable), QString::fromUtf8(kProgressLive));
    m_process.setProcessEnvironment(environment);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_killTimer.setSingleShot(true);
    m_killTimer.setInterval(kStopGraceMs);

    connect(m_cancel, &QPushButton::clicked, this, &ThumbnailRunDialog::reject);
    connect(&m_process, &QProcess::readyReadStandardError, this, &ThumbnailRunDialog::ReadProgress);
    connect(&m_process, &QProcess::finished, this, [this] {
        m_killTimer.stop();
        ReadProgress();
        done(Accepted);
    });
    connect(&m_killTimer, &QTimer::timeout, &m_process, &QProcess::kill);
}

bool ThumbnailRunDialog::Run() {
    m_process.start();
    if (!m_process.waitForStarted())
        return false;
    exec();
    return true;
}

void ThumbnailRunDialog::reject() {
    if (m_process.state() == QProcess::NotRunning || m_killTimer.isActive())
        return;
    m_cancel->setEnabled(false);
    m_status->setText(QString::fromUtf8(kThumbnailStopping));
    m_process.terminate();
    m_killTimer.start();
}

void ThumbnailRunDialog::ReadProgress() {
    m_pending += QString::fromLocal8Bit(m_process.readAllStandardError());
    if (const std::optional<PictureCount> count = LastPictureCount(m_pending)) {
        m_count = *count;
        ShowCount();
    }
    // Each redraw starts with CR; the text after the last CR or LF may be a line still cut in two.
    const qsizetype lineStart =
        std::max(m_pending.lastIndexOf(QLatin1Char('\r')), m_pending.lastIndexOf(QLatin1Char('\n')));
    if (lineStart >= 0)
        m_pending.remove(0, lineStart + 1);
}

void ThumbnailRunDialog::ShowCount() {
    m_bar->setRange(0, std::max(m_count.total, 1));
    m_bar->setValue(m_count.done);
    if (!m_killTimer.isActive())
        m_status->setText(QString::fromUtf8(kThumbnailProgress).arg(m_count.done).arg(m_count.total));
}

}  // namespace sarvo::ui
