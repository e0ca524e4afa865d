#include "ui/dialogs/LogbookViewerDialog.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QFontDatabase>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <string>
#include <utility>

#include "server/LogbookOwner.h"
#include "ui/dialogs/DialogTexts.h"
#include "ui/dialogs/EnterTextDialog.h"
#include "ui/dialogs/NamedControls.h"
#include "ui/dialogs/TrimmedText.h"

namespace sarvo::ui {
namespace {

const QColor kNavy(0, 0, 128);
// Rows are at most this many characters wide, so a file without line ends keeps a width that fits
// the view's coordinates; the rest of such a line is cut.
constexpr size_t kWidestLine = 65535;

void PaintWhiteOnNavy(QWidget* widget) {
    QPalette palette = widget->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, kNavy);
        palette.setColor(group, QPalette::Text, Qt::white);
    }
    widget->setPalette(palette);
}

}  // namespace

LogbookViewerDialog::LogbookViewerDialog(QWidget* parent) : PropertyDialog(parent, kLogbookCaption) {
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    m_model = new LogbookTextModel(this);
    m_view = new QListView(this);
    m_view->setObjectName(kLogbookText);
    m_view->setModel(m_model);
    // One size for every line: the view then lays out millions of lines without measuring each.
    m_view->setUniformItemSizes(true);
    m_view->setWordWrap(false);
    m_view->setTextElideMode(Qt::ElideNone);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    PaintWhiteOnNavy(m_view);
    m_view->setMinimumSize(560, 320);
    auto* copy = new QAction(m_view);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    m_view->addAction(copy);
    connect(copy, &QAction::triggered, this, [this] {
        QStringList lines;
        const QModelIndexList selected = m_view->selectionModel()->selectedRows();
        QList<int> rows;
        for (const QModelIndex& index : selected)
            rows.append(index.row());
        std::sort(rows.begin(), rows.end());
        for (const int row : rows)
            lines.append(m_model->index(row).data().toString());
        QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
    });
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
    m_model->Clear();
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
    m_model->Clear();
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
    if (outcome) {
        const LogbookLines& lines = **outcome;
        const QFontMetrics metrics(m_view->font());
        // The font has one pitch, so the longest line in bytes gives the width of every row.
        const int columns = static_cast<int>(std::min(lines.longestLine, kWidestLine)) + 1;
        m_model->SetLineSize(QSize(metrics.horizontalAdvance(QLatin1Char('M')) * columns, metrics.height()));
        m_model->SetLines(*outcome);
        const int count = m_model->rowCount();
        if (count > 0) {
            m_view->setCurrentIndex(m_model->index(count - 1));
            m_view->scrollToBottom();
        }
    }
    emit Loaded();
}

}  // namespace sarvo::ui
