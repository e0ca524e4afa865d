#include "ui/dialogs/LogbookViewerDialog.h"

#include <QBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <string>
#include <utility>

#include "server/LogbookOwner.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/EnterTextDialog.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/TrimmedText.h"

namespace sarvo::ui {

LogbookViewerDialog::LogbookViewerDialog(QWidget* parent) : PropertyDialog(parent, kLogbookCaption) {
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    auto* layout = new QVBoxLayout(this);
    m_view = new LogbookTextView(this);
    m_view->setObjectName(kLogbookText);
    m_view->setMinimumSize(560, 320);
    layout->addWidget(m_view, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* list = NamedButton(kListRecordsButton, this);
    auto* refresh = NamedButton(kRefreshButton, this);
    auto* reset = NamedButton(kResetButton, this);
    buttons->addWidget(list);
    buttons->addWidget(refresh);
    buttons->addWidget(reset);
    AddButtons(buttons, Buttons::Close);
    layout->addLayout(buttons);
    resize(720, 480);

    connect(list, &QPushButton::clicked, this, &LogbookViewerDialog::ListRecords);
    connect(refresh, &QPushButton::clicked, this, &LogbookViewerDialog::Refresh);
    connect(reset, &QPushButton::clicked, this, &LogbookViewerDialog::Reset);
    Start();
}

void LogbookViewerDialog::Load() {
    m_view->setFocus();
    QTimer::singleShot(kFirstRefreshDelayMs, this, &LogbookViewerDialog::Refresh);
}

void LogbookViewerDialog::UpdateControls() {}

// The viewer stores nothing.
void LogbookViewerDialog::Save() {}

void LogbookViewerDialog::Refresh() {
    StartReading([]() -> Outcome {
        std::string text;
        if (!ReadLogbook(text))
            return std::nullopt;
        return SplitLogbookLines(std::move(text));
    });
}

void LogbookViewerDialog::ListRecords() {
    EnterTextDialog ask(this, kLogSearchMinLength);
    if (ask.exec() != QDialog::Accepted)
        return;
    ListRecordsContaining(ask.Text());
}

void LogbookViewerDialog::ListRecordsContaining(const QString& text) {
    StopReading();
    m_view->Clear();
    StartReading([needle = ToStore(text)]() -> Outcome {
        std::string log;
        if (!ReadLogbook(log))
            return std::nullopt;
        return SplitLogbookLines(ListLogRecords(log, needle));
    });
}

void LogbookViewerDialog::Reset() {
    const LogbookState state = GetLogbookState();
    if (state == LogbookState::Unavailable)
        return;
    if (state == LogbookState::HasRecords &&
        QMessageBox::question(this, QString::fromUtf8(kProductCaption),
                              QString::fromUtf8(kClearLogbookQuestion.text)) != QMessageBox::Yes)
        return;
    // A read under way would bring back what was cleared.
    StopReading();
    ClearLogbook();
    m_view->Clear();
    m_view->setFocus();
}

void LogbookViewerDialog::StartReading(std::function<Outcome()> work) {
    StopReading();
    m_wait.emplace();
    // A read still under way when the dialog goes finishes on its worker; the watcher, a child of the
    // dialog, goes with it and the outcome is dropped.
    m_loading = new QFutureWatcher<Outcome>(this);
    QFutureWatcher<Outcome>* watcher = m_loading;
    connect(watcher, &QFutureWatcher<Outcome>::finished, this, [this, watcher] {
        const Outcome outcome = watcher->result();
        StopReading();
        Show(outcome);
    });
    watcher->setFuture(QtConcurrent::run(std::move(work)));
}

void LogbookViewerDialog::StopReading() {
    if (!m_loading)
        return;
    m_loading->disconnect(this);
    // Not deleted at once: this may run inside the watcher's own signal.
    m_loading->deleteLater();
    m_loading = nullptr;
    m_wait.reset();
}

void LogbookViewerDialog::Show(const Outcome& outcome) {
    if (outcome)
        m_view->SetLines(*outcome);
    emit Loaded();
}

}  // namespace sarvo::ui
