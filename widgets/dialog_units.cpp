#include "dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace {

const char *const kDialogFamily = "MS Sans Serif";

QString SansSerifFamily() {
    if (QFontDatabase::families().contains(kDialogFamily)) {
        return kDialogFamily;
    }
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    return font.defaultFamily();
}

}  // namespace

DialogUnits::DialogUnits(const QFont &font) {
    const QFontMetrics metrics(font);
    // The average width over the letters of the alphabet, as dialog layouts measure it.
    const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    m_baseX = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    m_baseY = metrics.height();
    if (m_baseX < 1) m_baseX = 1;
    if (m_baseY < 1) m_baseY = 1;
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
    return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(width), ToPixelsY(height));
}

QFont DialogUnits::DialogFont(int pointSize) {
    QFont font(SansSerifFamily(), pointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont DialogUnits::CellHeightFont(int cellHeight, QFont::Weight weight) {
    QFont font = DialogFont();
    font.setWeight(weight);
    int pixelSize = cellHeight;
    do {
        font.setPixelSize(pixelSize);
    } while (QFontMetrics(font).height() > cellHeight && --pixelSize > 4);
    return font;
}
