#pragma once

#include <QFont>
#include <QSize>

// The window's measures are given in dialog units, which scale with the font: a horizontal unit is a
// quarter of the font's average character width, a vertical unit an eighth of its height. Column
// widths given in pixels assume the classic 6 x 13 base units and scale by the same ratio.
namespace sarvo::ui {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int X(int units) const;
    int Y(int units) const;
    QSize Size(int widthUnits, int heightUnits) const { return {X(widthUnits), Y(heightUnits)}; }
    // A width the design gives in pixels at the classic base units.
    int ScaledPixels(int pixels) const;

private:
    int m_baseWidth;
    int m_baseHeight;
};

}  // namespace sarvo::ui
