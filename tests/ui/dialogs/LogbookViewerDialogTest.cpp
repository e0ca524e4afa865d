#include "ui/dialogs/LogbookViewerDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include <filesystem>
#include <fstream>

#include "DialogTestSupport.h"
#include "server/Logbook.h"
#include "ui/dialogs/DialogTexts.h"

namespace sarvo::ui::test {
namespace {

const std::string kSeparator = std::string(kLogSeparatorLength, '=') + "\r\n";
const std::string kFirst =
    "Time: 2026-12-07 09:00:01\r\nAddr: 10.0.0.5:50001\r\nGET /Pictures/ HTTP/1.1\r\n"
    "Referer: http://example.net/Pictures/\r\n" +
    kSeparator;
const std::string kSecond =
    "Time: 2026-12-07 09:00:02\r\nAddr: 10.0.0.6:50002\r\nGET /Music/ HTTP/1.1\r\n" + kSeparator;

void WriteLogbook(const std::string& text) {
    std::ofstream(LogbookPath(), std::ios::binary | std::ios::trunc) << text;
}

std::string ReadLogbookFile() {
    std::ifstream in(LogbookPath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

QStringList ShownLines(LogbookTextView* view) {
    QStringList lines;
    for (int line = 0; line < view->LineCount(); ++line)
        lines.append(view->LineText(line));
    return lines;
}

// Runs action and waits until the read it starts has been shown.
bool LoadAfter(LogbookViewerDialog& dialog, const std::function<void()>& action) {
    bool loaded = false;
    const QMetaObject::Connection connection =
        QObject::connect(&dialog, &LogbookViewerDialog::Loaded, [&loaded] { loaded = true; });
    action();
    const bool done = WaitUntil([&loaded] { return loaded; });
    QObject::disconnect(connection);
    return done;
}

// Answers any message box that opens above the dialog with No, and counts them.
class QuestionCounter {
public:
    QuestionCounter() {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ++m_asked;
                m_text = box->windowTitle() + QLatin1Char('|') + box->text();
                box->button(m_answer)->click();
            }
        });
        m_poll.start(10);
    }
    void AnswerWith(QMessageBox::StandardButton answer) { m_answer = answer; }
    int Asked() const { return m_asked; }
    const QString& Text() const { return m_text; }

private:
    QTimer m_poll;
    QMessageBox::StandardButton m_answer = QMessageBox::No;
    int m_asked = 0;
    QString m_text;
};

TEST_F(DialogTest, LogbookShowsTheFileWhiteOnNavyWithItsEndInViewAndKeepsTextWhenUnreadable) {
    WriteLogbook(kFirst + kSecond);
    LogbookViewerDialog dialog(nullptr);
    auto* view = Child<LogbookTextView>(&dialog, kLogbookText);
    EXPECT_TRUE(ShownLines(view).isEmpty()) << "the dialog shows before the file is read";
    ASSERT_TRUE(LoadAfter(dialog, [&dialog] { dialog.show(); }));
    const QStringList lines = ShownLines(view);
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[2], QStringLiteral("GET /Pictures/ HTTP/1.1"));
    EXPECT_EQ(view->CaretLine(), 8) << "the caret at the end";
    EXPECT_GT(view->FirstVisibleLine() + 20, 8) << "the end in view";
    EXPECT_EQ(view->palette().color(QPalette::Base), QColor(0, 0, 128));
    EXPECT_EQ(view->palette().color(QPalette::Text), QColor(Qt::white));
    EXPECT_TRUE(QFontInfo(view->font()).fixedPitch());

    ASSERT_TRUE(std::filesystem::remove(LogbookPath()));
    ASSERT_TRUE(LoadAfter(dialog, [&dialog] { Child<QPushButton>(&dialog, kRefreshButton)->click(); }));
    EXPECT_EQ(ShownLines(view), lines);
    dialog.reject();
}

TEST_F(DialogTest, LogbookListRecordsAsksForThreeCharactersAndListsARecordOnce) {
    WriteLogbook(kFirst + kSecond + "Time: 2026-12-07 09:00:03\r\nGET /Pictures/late");
    LogbookViewerDialog dialog(nullptr);
    ASSERT_TRUE(LoadAfter(dialog, [&dialog] { dialog.show(); }));
    bool okWithTwo = true;
    WhenModalOpens([&okWithTwo](QWidget* ask) {
        auto* text = Child<QLineEdit>(ask, kEnterTextField);
        TypeInto(text, QStringLiteral("Pi"));
        okWithTwo = Child<QPushButton>(ask, kOkButton)->isEnabled();
        TypeInto(text, QStringLiteral("Pictures"));
        Child<QPushButton>(ask, kOkButton)->click();
    });
    ASSERT_TRUE(LoadAfter(dialog, [&dialog] { Child<QPushButton>(&dialog, kListRecordsButton)->click(); }));
    EXPECT_FALSE(okWithTwo);
    EXPECT_EQ(dialog.ShownLines().text, kFirst)
        << "found twice in the first record, not in the unfinished one";
    dialog.reject();
}

TEST_F(DialogTest, LogbookResetAsksOnlyWhenThereIsSomethingToClear) {
    QuestionCounter questions;
    WriteLogbook("");
    {
        LogbookViewerDialog dialog(nullptr);
        dialog.show();
        Child<QPushButton>(&dialog, kResetButton)->click();
        EXPECT_EQ(questions.Asked(), 0);
        EXPECT_EQ(ReadLogbookFile(), "");
        dialog.reject();
    }
    WriteLogbook(kFirst);
    LogbookViewerDialog dialog(nullptr);
    ASSERT_TRUE(LoadAfter(dialog, [&dialog] { dialog.show(); }));
    auto* view = Child<LogbookTextView>(&dialog, kLogbookText);
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        questions.AnswerWith(answer);
        Child<QPushButton>(&dialog, kResetButton)->click();
    }
    EXPECT_EQ(questions.Asked(), 2);
    EXPECT_EQ(questions.Text(), QStringLiteral("Sarvo|Clear the contents of the logbook?"));
    EXPECT_EQ(ReadLogbookFile(), "");
    EXPECT_EQ(view->LineCount(), 0);
    dialog.reject();
}

TEST_F(DialogTest, LogbookTextSelectsWholeLinesAndCopiesThem) {
    LogbookTextView view(nullptr);
    view.resize(400, 200);
    view.SetLines(SplitLogbookLines("one\r\ntwo\r\nthree\r\nfour"));
    view.show();
    ASSERT_EQ(view.LineCount(), 4);
    EXPECT_EQ(view.LineText(3), QStringLiteral("four")) << "text after the last line end makes a line";
    EXPECT_EQ(view.CaretLine(), 3);
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* selected;
    } steps[] = {
        {Qt::Key_Up, Qt::NoModifier, "three"},
        {Qt::Key_Up, Qt::ShiftModifier, "two\nthree"},
        {Qt::Key_Home, Qt::ShiftModifier, "one\ntwo\nthree"},
        {Qt::Key_End, Qt::NoModifier, "four"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.selected);
        QTest::keyClick(&view, step.key, step.modifiers);
        EXPECT_EQ(view.SelectedText(), QString::fromUtf8(step.selected));
    }
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("one\ntwo\nthree\nfour"));
}

}  // namespace
}  // namespace sarvo::ui::test
