#include "ui/QrCodeDialog.h"

#include <qrencode.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include <memory>

#include "ui/UiTexts.h"

namespace sarvo::ui {
namespace {

constexpr int kQuietZone = 4;
// Large enough for a phone's camera at arm's length on any screen.
constexpr int kModulePixels = 6;

}  // namespace

QImage QrCodeImage(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(utf8.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code)
        return {};
    const int side = code->width + 2 * kQuietZone;
    QImage image(side, side, QImage::Format_Mono);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    image.fill(0);
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            // The low bit of each byte is the module's colour; the others describe its role.
            if (code->data[y * code->width + x] & 1)
                image.setPixel(x + kQuietZone, y + kQuietZone, 1);
        }
    }
    return image;
}

QrCodeDialog::QrCodeDialog(const QString& url, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kProductCaption));
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("QrCode"));
    const QImage code = QrCodeImage(url);
    picture->setPixmap(QPixmap::fromImage(code.scaled(code.size() * kModulePixels)));
    picture->setAlignment(Qt::AlignCenter);
    auto* address = new QLabel(url, this);
    address->setAlignment(Qt::AlignCenter);
    address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addWidget(address);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace sarvo::ui
