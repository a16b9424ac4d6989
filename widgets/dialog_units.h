#pragma once

#include <QFont>
#include <QRect>

// Window layouts are given in dialog units: a quarter of the font's average character
// width across, an eighth of its height down. Converting through the font keeps the
// layout in proportion whatever font and resolution the machine has.
class DialogUnits {
public:
    explicit DialogUnits(const QFont &font);

    int ToPixelsX(int units) const { return (units * m_baseX + 2) / 4; }
    int ToPixelsY(int units) const { return (units * m_baseY + 4) / 8; }
    QRect ToPixels(int x, int y, int width, int height) const;

    // The dialog font: "MS Sans Serif" where present, else the platform's sans-serif.
    static QFont DialogFont(int pointSize = 8);
    // A font whose cell (ascent, descent and internal leading) is at most cellHeight pixels.
    static QFont CellHeightFont(int cellHeight, QFont::Weight weight);

private:
    int m_baseX;
    int m_baseY;
};
