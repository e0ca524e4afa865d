#include "QtTestApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

namespace sarvo::test {
namespace {

constexpr int kPollMs = 20;

void ClickWhenShown(QMessageBox::StandardButton button) {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
        QTimer::singleShot(kPollMs, [button] { ClickWhenShown(button); });
        return;
    }
    box->button(button)->click();
}

void AnswerFolderDialogWhenShown(QString* openedAt, const QString& folder) {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) {
        QTimer::singleShot(kPollMs, [openedAt, folder] { AnswerFolderDialogWhenShown(openedAt, folder); });
        return;
    }
    *openedAt = dialog->directory().absolutePath();
    if (folder.isEmpty()) {
        dialog->reject();
        return;
    }
    dialog->setDirectory(folder);
    // QFileDialog's accept, which reads the choice, is reached through QDialog's public one.
    static_cast<QDialog*>(dialog)->accept();
}

}  // namespace

void EnsureQtApplication() {
    if (QApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

void AnswerNextMessageBox(Answer answer) {
    QMessageBox::StandardButton button = answer == Answer::Yes ? QMessageBox::Yes : QMessageBox::No;
    QTimer::singleShot(kPollMs, [button] { ClickWhenShown(button); });
}

void AnswerNextFolderDialog(QString* openedAt, const QString& folder) {
    QTimer::singleShot(kPollMs, [openedAt, folder] { AnswerFolderDialogWhenShown(openedAt, folder); });
}

}  // namespace sarvo::test

// The sanitizer build's leak checker reads this: fontconfig, loaded by Qt's font database, keeps a
// cache allocation until exit on purpose. Our own leaks are still reported.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
