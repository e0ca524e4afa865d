// The screenshot step of the dialog galleries.
#include "GalleryPhotograph.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTextStream>

#include <gtest/gtest.h>

namespace sarvo::ui::test {
namespace {

const QString kScreenshots = QStringLiteral(SCREENSHOT_DIR);

// The texts a control must show whole: labels on one line, check boxes, radio buttons, push buttons.
void ExpectNoClippedText(QWidget* dialog) {
    for (QWidget* widget : dialog->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(dialog))
            continue;
        const QSize hint = widget->sizeHint();
        auto* label = qobject_cast<QLabel*>(widget);
        auto* button = qobject_cast<QAbstractButton*>(widget);
        if ((label && !label->wordWrap()) || qobject_cast<QCheckBox*>(widget) ||
            qobject_cast<QRadioButton*>(widget)) {
            EXPECT_GE(widget->width(), hint.width())
                << (label ? label->text() : button->text()).toStdString();
        } else if (label && label->wordWrap()) {
            EXPECT_GE(widget->height(), label->heightForWidth(label->width())) << label->text().toStdString();
        } else if (auto* push = qobject_cast<QPushButton*>(widget)) {
            EXPECT_GE(push->width(), push->fontMetrics().horizontalAdvance(push->text()) + 8)
                << push->text().toStdString();
        }
    }
}

// Controls laid out side by side in the dialog, a group or the button row must not overlap.
void ExpectNoOverlap(QWidget* dialog) {
    QList<QWidget*> containers = {dialog};
    for (QWidget* widget : dialog->findChildren<QWidget*>()) {
        if (qobject_cast<QGroupBox*>(widget) || qobject_cast<QDialogButtonBox*>(widget))
            containers.append(widget);
    }
    for (QWidget* container : containers) {
        QList<QWidget*> children;
        for (QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isVisibleTo(dialog) && !child->isWindow())
                children.append(child);
        }
        for (qsizetype i = 0; i < children.size(); ++i) {
            for (qsizetype j = i + 1; j < children.size(); ++j) {
                EXPECT_FALSE(children[i]->geometry().intersects(children[j]->geometry()))
                    << children[i]->objectName().toStdString() << " overlaps "
                    << children[j]->objectName().toStdString();
            }
        }
    }
}

// The order Tab visits the controls, written beside the picture for the reviewer.
QStringList TabOrder(QWidget* dialog) {
    QStringList order;
    for (QWidget* widget = dialog->nextInFocusChain(); widget && widget != dialog;
         widget = widget->nextInFocusChain()) {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(dialog) && widget->isEnabled())
            order.append(widget->objectName().isEmpty() ? QString::fromUtf8(widget->metaObject()->className())
                                                        : widget->objectName());
    }
    return order;
}

}  // namespace

void Photograph(QWidget* dialog, const QString& name) {
    dialog->show();
    QApplication::processEvents();
    ExpectNoClippedText(dialog);
    ExpectNoOverlap(dialog);
    ASSERT_TRUE(QDir().mkpath(kScreenshots));
    EXPECT_TRUE(dialog->grab().save(kScreenshots + QLatin1Char('/') + name + QStringLiteral(".png")));
    QFile order(kScreenshots + QLatin1Char('/') + name + QStringLiteral(".taborder.txt"));
    ASSERT_TRUE(order.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QTextStream(&order) << TabOrder(dialog).join(QLatin1Char('\n')) << '\n';
}

}  // namespace sarvo::ui::test
