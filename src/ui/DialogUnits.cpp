#include "ui/DialogUnits.h"

#include <QFontMetrics>

namespace sarvo::ui {
namespace {

constexpr int kClassicBaseWidth = 6;
// The average width is taken over both alphabets (52 letters), rounded, as the dialog manager does.
constexpr char kAverageSample[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    m_baseWidth = (metrics.horizontalAdvance(QString::fromLatin1(kAverageSample)) / 26 + 1) / 2;
    m_baseHeight = metrics.height();
}

int DialogUnits::X(int units) const {
    return (units * m_baseWidth + 2) / 4;
}

int DialogUnits::Y(int units) const {
    return (units * m_baseHeight + 4) / 8;
}

int DialogUnits::ScaledPixels(int pixels) const {
    return (pixels * m_baseWidth + kClassicBaseWidth / 2) / kClassicBaseWidth;
}

}  // namespace sarvo::ui
