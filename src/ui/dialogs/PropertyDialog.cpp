#include "ui/dialogs/PropertyDialog.h"

#include <QBoxLayout>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QScreen>

#include "ui/dialogs/DialogTexts.h"

namespace sarvo::ui {

PropertyDialog::PropertyDialog(QWidget* parent, const char* caption, SaveOn saveOn)
    : QDialog(parent), m_saveOn(saveOn) {
    setWindowTitle(QString::fromUtf8(caption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
}

void PropertyDialog::Start() {
    Load();
    UpdateControls();
}

void PropertyDialog::done(int result) {
    if (result == Accepted || m_saveOn == SaveOn::AnyClose)
        Save();
    QDialog::done(result);
}

QDialogButtonBox* PropertyDialog::AddButtons(QBoxLayout* layout, Buttons buttons) {
    auto* box = new QDialogButtonBox(this);
    if (buttons == Buttons::Close) {
        QPushButton* close = box->addButton(QString::fromUtf8(kCloseButton), QDialogButtonBox::RejectRole);
        close->setObjectName(kCloseButton);
        close->setDefault(true);
    } else {
        m_ok = box->addButton(QString::fromUtf8(kOkButton), QDialogButtonBox::AcceptRole);
        m_ok->setObjectName(kOkButton);
        m_ok->setDefault(true);
        QPushButton* cancel = box->addButton(QString::fromUtf8(kCancelButton), QDialogButtonBox::RejectRole);
        cancel->setObjectName(kCancelButton);
    }
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(box);
    return box;
}

void PropertyDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        CentreOverOwner();
    }
}

void PropertyDialog::CentreOverOwner() {
    QRect area;
    if (QWidget* owner = parentWidget())
        area = owner->window()->frameGeometry();
    else if (QScreen* screen = this->screen())
        area = screen->availableGeometry();
    if (area.isEmpty())
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    move(frame.topLeft());
}

}  // namespace sarvo::ui
