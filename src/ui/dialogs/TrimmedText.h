#pragma once

#include <QString>

#include <string>
#include <string_view>

class QLineEdit;

// Texts between the widgets and the store. The store holds UTF-8; texts the owner typed are trimmed of
// blanks, tabs, CR and LF at both ends before they are judged or stored, as everywhere in the program.
namespace sarvo::ui {

QString FromStore(std::string_view text);
std::string ToStore(const QString& text);

QString Trimmed(const QString& text);
// The text cut at its end, whole characters at a time, until its UTF-8 fits maxBytes.
QString FitToBytes(QString text, int maxBytes);
QString Trimmed(const QLineEdit* edit);

}  // namespace sarvo::ui
