#pragma once

#include <QDialog>
#include <QImage>

class QString;

namespace sarvo::ui {

// The QR code of a text, one pixel per module with a quiet zone of four modules, black on white; a
// null image when the text cannot be encoded.
QImage QrCodeImage(const QString& text);

// Shows the site's address as a QR code, so that a phone on the same network opens it with its camera.
class QrCodeDialog : public QDialog {
    Q_OBJECT
public:
    QrCodeDialog(const QString& url, QWidget* parent = nullptr);
};

}  // namespace sarvo::ui
