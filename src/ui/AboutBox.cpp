#include "ui/AboutBox.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>

#include "server/ServerIdentity.h"
#include "ui/UiTexts.h"

namespace sarvo::ui {
namespace {

constexpr int kIconSize = 32;

}  // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About %1").arg(QString::fromLatin1(kProductCaption)));
    auto* icon = new QLabel(this);
    icon->setPixmap(windowIcon().pixmap(kIconSize, kIconSize));
    auto* name = new QLabel(QString::fromLatin1(kAboutText), this);
    name->setObjectName(QStringLiteral("AboutText"));
    auto* link =
        new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(QString::fromLatin1(kProductPageAddress)), this);
    link->setObjectName(QStringLiteral("MakerLink"));
    link->setToolTip(QString::fromLatin1(kProductPageAddress));
    link->setTextFormat(Qt::RichText);
    link->setOpenExternalLinks(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(name, 0, 1);
    layout->addWidget(link, 1, 1);
    layout->addWidget(buttons, 2, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace sarvo::ui
