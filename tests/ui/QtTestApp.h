#pragma once

#include <QString>

namespace sarvo::test {

// The process's QApplication, made on first use on the offscreen platform (each test case runs in a
// process of its own, so one application per process is enough).
void EnsureQtApplication();

// Clicks the button of the message box that the code under test is about to run modally.
enum class Answer { Yes, No };
void AnswerNextMessageBox(Answer answer);

// Answers the next folder dialog: reports the folder it opened at into openedAt, then chooses the
// folder (or cancels when folder is empty).
void AnswerNextFolderDialog(QString* openedAt, const QString& folder);

}  // namespace sarvo::test
