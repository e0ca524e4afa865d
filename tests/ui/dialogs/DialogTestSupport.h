#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "store/Registry.h"
#include "support/TempFolder.h"

class QAbstractButton;
class QLineEdit;

// The dialogs driven offscreen (the application is made by the tests' main), each case with a settings
// home of its own.
namespace sarvo::ui {
class ReportList;
}

namespace sarvo::ui::test {

// Runs act on the next modal dialog that opens above the current one (a nested editor or a message
// box), once it is shown; fails the test when none opens within a few seconds.
void WhenModalOpens(std::function<void(QWidget* modal)> act);

// What the next message box asked (caption|text) and whether it came without an icon, once answered.
struct Answer {
    QString asked;
    bool iconless = false;
};
// Answers the next message box that opens above the current dialog with the button.
void AnswerNextQuestion(QMessageBox::StandardButton button, Answer& answer);

// The texts of a report list's column, in the model's order.
QStringList Column(ReportList* list, int column);

// Processes events until done() holds or a few seconds have passed; returns done().
bool WaitUntil(const std::function<bool()>& done);

// Replaces a field's text as if the owner had typed it: change signals, validator and length limit.
void TypeInto(QLineEdit* edit, const QString& text);

// The letters and digits of text, every other character as '_': readable, stable names for the cases
// of a table, also where ctest shows a case's value.
std::string PlainName(const char* text);
std::string CaseName(size_t index, const char* text);

class DialogTest : public ::testing::Test {
protected:
    ~DialogTest() override { CloseSettingsStore(); }

    sarvo::test::ScopedSarvoHome m_home;
};

template <typename Widget>
Widget* Child(QWidget* root, const char* name) {
    Widget* child = root->findChild<Widget*>(QString::fromUtf8(name));
    EXPECT_NE(child, nullptr) << "no control named " << name;
    return child;
}

}  // namespace sarvo::ui::test
