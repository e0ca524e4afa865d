#include "DialogTestSupport.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QThread>
#include <QTimer>
#include <QtTest/QTest>

#include <memory>

#include "ui/dialogs/ReportList.h"

namespace sarvo::ui::test {
namespace {

constexpr int kPollMs = 10;
constexpr int kModalWaitMs = 5000;

}  // namespace

void WhenModalOpens(std::function<void(QWidget*)> act) {
    QWidget* below = QApplication::activeModalWidget();
    auto* timer = new QTimer(QApplication::instance());
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, below, waited, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != below && modal->isVisible()) {
            timer->deleteLater();
            timer->stop();
            act(modal);
            return;
        }
        *waited += kPollMs;
        if (*waited >= kModalWaitMs) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no modal dialog opened";
        }
    });
    timer->start(kPollMs);
}

void AnswerNextQuestion(QMessageBox::StandardButton button, Answer& answer) {
    WhenModalOpens([button, &answer](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        answer.asked = box->windowTitle() + QLatin1Char('|') + box->text();
        answer.iconless = box->icon() == QMessageBox::NoIcon;
        box->button(button)->click();
    });
}

QStringList Column(ReportList* list, int column) {
    QStringList texts;
    for (int row = 0; row < list->Model().rowCount(); ++row)
        texts.append(list->Model().Row(row)[column]);
    return texts;
}

bool WaitUntil(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > kModalWaitMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, kPollMs);
        QThread::msleep(1);
    }
    return true;
}

std::string PlainName(const char* text) {
    std::string name;
    for (const char* c = text; *c; ++c) {
        const bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9');
        name += plain ? *c : '_';
    }
    return name;
}

std::string CaseName(size_t index, const char* text) {
    return std::to_string(index) + PlainName(text);
}

void TypeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    // Key events that carry their character, since QTest's key clicks know ASCII only.
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &release);
    }
}

}  // namespace sarvo::ui::test
