#pragma once

namespace sarvo::test {

// The process's QApplication, made on first use on the offscreen platform (each test case runs in a
// process of its own, so one application per process is enough).
void EnsureQtApplication();

// Clicks the button of the message box that the code under test is about to run modally.
enum class Answer { Yes, No };
void AnswerNextMessageBox(Answer answer);

}  // namespace sarvo::test
