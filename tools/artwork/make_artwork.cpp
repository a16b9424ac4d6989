// Draws the workstation's pictures: the application icon, the two status pictures, the
// splash picture and the About logo. Run by scripts/make-artwork; the pictures it writes are
// kept in resources/ so that the normal build needs neither this program nor its fonts.
//
//   make_artwork <output directory>

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QString>
#include <QTextStream>
#include <QTransform>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// --- Colours ---------------------------------------------------------------------------

// The LED colour of the Lumivane signs and its unlit and glowing shades.
const QColor kAmber(255, 172, 28);
const QColor kAmberHot(255, 226, 150);
const QColor kAmberUnlit(255, 150, 30, 26);
const QColor kSignFace(14, 12, 10);

// The status pictures are drawn on the classic 3-D face greys, which the program maps to
// the palette: face (192) to the button colour, shadow (128) to its dark shade.
const QColor kFaceGrey(192, 192, 192);
const QColor kShadowGrey(128, 128, 128);

// --- Seven-segment digits --------------------------------------------------------------

// Segments a to g, lit per digit.
constexpr std::array<unsigned char, 10> kDigitSegments = {
    0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F,
};

enum Segment { kA, kB, kC, kD, kE, kF, kG };

QPolygonF Horizontal(double x0, double x1, double y, double t) {
    const double h = t / 2;
    return QPolygonF(
        {{x0, y}, {x0 + h, y - h}, {x1 - h, y - h}, {x1, y}, {x1 - h, y + h}, {x0 + h, y + h}});
}

QPolygonF Vertical(double x, double y0, double y1, double t) {
    const double h = t / 2;
    return QPolygonF(
        {{x, y0}, {x + h, y0 + h}, {x + h, y1 - h}, {x, y1}, {x - h, y1 - h}, {x - h, y0 + h}});
}

// The seven segment outlines of a digit cell at the origin, width w, height h, segment
// thickness t and a small gap between neighbouring segments.
std::array<QPolygonF, 7> SegmentShapes(double w, double h, double t, double gap) {
    const double left = t / 2;
    const double right = w - t / 2;
    const double top = t / 2;
    const double middle = h / 2;
    const double bottom = h - t / 2;
    return {
        Horizontal(left + gap, right - gap, top, t),
        Vertical(right, top + gap, middle - gap, t),
        Vertical(right, middle + gap, bottom - gap, t),
        Horizontal(left + gap, right - gap, bottom, t),
        Vertical(left, middle + gap, bottom - gap, t),
        Vertical(left, top + gap, middle - gap, t),
        Horizontal(left + gap, right - gap, middle, t),
    };
}

struct DigitStyle {
    double width;
    double height;
    double thickness;
    double gap;
    double slant;  // horizontal shift per unit of height, for the italic look of LED digits
};

// Adds a digit's lit segments to lit and its dark ones to unlit. mask is a set of segments.
void AddDigit(QPainterPath &lit, QPainterPath &unlit, QPointF at, const DigitStyle &style,
              unsigned mask) {
    QTransform place;
    place.translate(at.x() + style.slant * style.height, at.y());
    place.shear(-style.slant, 0);
    const auto shapes = SegmentShapes(style.width, style.height, style.thickness, style.gap);
    for (int s = 0; s < 7; ++s) {
        QPainterPath segment;
        segment.addPolygon(place.map(shapes[s]));
        segment.closeSubpath();
        ((mask >> s) & 1 ? lit : unlit).addPath(segment);
    }
}

void AddPoint(QPainterPath &lit, QPointF centre, double size) {
    lit.addEllipse(centre, size / 2, size / 2);
}

// Lays out a price such as "3.499": whole digits at the given style, the point after the
// first digit, the last digit smaller and raised as fuel prices show tenths of a cent.
// Returns the width used.
double AddPrice(QPainterPath &lit, QPainterPath &unlit, QPointF at, const DigitStyle &style,
                const QString &price) {
    double x = at.x();
    const double spacing = style.width * 0.32;
    DigitStyle tenths = style;
    tenths.width *= 0.62;
    tenths.height *= 0.58;
    tenths.thickness *= 0.7;
    for (int i = 0; i < price.size(); ++i) {
        const QChar c = price.at(i);
        if (c == '.') {
            const double size = style.thickness * 1.3;
            AddPoint(lit, {x + size * 0.25, at.y() + style.height - style.thickness * 0.55}, size);
            x += size * 0.75 + spacing;
            continue;
        }
        const bool last = i == price.size() - 1;
        const unsigned mask = kDigitSegments[static_cast<std::size_t>(c.digitValue())];
        AddDigit(lit, unlit, {x, at.y()}, last ? tenths : style, mask);
        x += (last ? tenths.width : style.width) + spacing;
    }
    return x - spacing - at.x();
}

// --- Light -----------------------------------------------------------------------------

// Three box blurs in a row come close to a Gaussian blur.
QImage Blurred(const QImage &source, int radius) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = image.width();
    const int h = image.height();
    std::vector<int> line(static_cast<std::size_t>(std::max(w, h)) * 4);
    const auto pass = [&](bool horizontal) {
        const int length = horizontal ? w : h;
        const int count = horizontal ? h : w;
        for (int n = 0; n < count; ++n) {
            auto pixel = [&](int i) -> QRgb & {
                const int x = horizontal ? i : n;
                const int y = horizontal ? n : i;
                return reinterpret_cast<QRgb *>(image.scanLine(y))[x];
            };
            for (int i = 0; i < length; ++i) {
                const QRgb p = pixel(i);
                line[i * 4 + 0] = qAlpha(p);
                line[i * 4 + 1] = qRed(p);
                line[i * 4 + 2] = qGreen(p);
                line[i * 4 + 3] = qBlue(p);
            }
            for (int i = 0; i < length; ++i) {
                std::array<int, 4> sum{};
                for (int k = -radius; k <= radius; ++k) {
                    const int j = i + k;
                    if (j < 0 || j >= length) {
                        continue;
                    }
                    for (int c = 0; c < 4; ++c) {
                        sum[c] += line[j * 4 + c];
                    }
                }
                const int d = 2 * radius + 1;
                pixel(i) = qRgba(sum[1] / d, sum[2] / d, sum[3] / d, sum[0] / d);
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        pass(true);
        pass(false);
    }
    return image;
}

// Paints lit LED shapes: a soft halo first, then the segments with a hot centre.
void PaintLit(QPainter &painter, const QPainterPath &lit, QSize canvas, int glowRadius,
              double glowStrength, const QColor &colour = kAmber) {
    if (glowRadius > 0) {
        QImage glow(canvas, QImage::Format_ARGB32_Premultiplied);
        glow.fill(Qt::transparent);
        {
            QPainter g(&glow);
            g.setRenderHint(QPainter::Antialiasing);
            g.setPen(QPen(colour, glowRadius * 0.8));
            g.setBrush(colour);
            g.drawPath(lit);
        }
        glow = Blurred(glow, glowRadius);
        painter.save();
        painter.setOpacity(glowStrength);
        painter.drawImage(0, 0, glow);
        painter.restore();
    }
    const QRectF box = lit.boundingRect();
    QLinearGradient shade(box.topLeft(), box.bottomLeft());
    shade.setColorAt(0.0, colour.lighter(112));
    shade.setColorAt(1.0, colour);
    painter.setPen(Qt::NoPen);
    painter.setBrush(shade);
    painter.drawPath(lit);
}

// --- Small pictures drawn pixel by pixel -----------------------------------------------

QImage FromPattern(const std::vector<const char *> &rows,
                   const std::vector<std::pair<char, QColor>> &palette) {
    const int h = static_cast<int>(rows.size());
    const int w = static_cast<int>(std::strlen(rows.front()));
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const char key = rows[static_cast<std::size_t>(y)][x];
            QColor colour = Qt::magenta;  // shows a typo in a pattern at once
            for (const auto &[k, c] : palette) {
                if (k == key) {
                    colour = c;
                }
            }
            image.setPixelColor(x, y, colour);
        }
    }
    return image;
}

// Adds a shadow one pixel down and to the right of every pixel of the given colour.
QImage WithShadow(QImage image, const QColor &of, const QColor &shadow) {
    const QImage original = image;
    for (int y = 1; y < image.height(); ++y) {
        for (int x = 1; x < image.width(); ++x) {
            if (original.pixelColor(x - 1, y - 1) == of && original.pixelColor(x, y) != of) {
                image.setPixelColor(x, y, shadow);
            }
        }
    }
    return image;
}

// Bitmap 130: a green tick with a dark green rim, on the face grey. Drawn to read at a
// glance at 100% on any light or mid-grey window face.
QImage ReadyStatus() {
    const QColor rim(0, 90, 20);
    const QColor green(30, 170, 50);
    const QColor light(120, 220, 120);
    return FromPattern(
        {
            "................dd..",
            "...............dLGd.",
            "..............dLGGd.",
            ".............dLGGd..",
            "............dLGGd...",
            "..dd.......dLGGd....",
            ".dLGd.....dLGGd.....",
            ".dGGGd...dLGGd......",
            "..dGGGd.dLGGd.......",
            "...dGGGdLGGd........",
            "....dGGGGGd.........",
            ".....dGGGd..........",
            "......dGd...........",
            ".......d............",
        },
        {{'.', kFaceGrey}, {'d', rim}, {'G', green}, {'L', light}});
}

// Bitmap 158: an amber warning triangle with a black exclamation mark, on the face grey.
QImage ErrorStatus() {
    const QColor outline(60, 30, 0);
    const QColor edge(170, 100, 10);
    const QColor yellow(255, 170, 0);
    const QColor light(255, 214, 110);
    return FromPattern(
        {
            ".........oo.........",
            "........eLYe........",
            "........oLYo........",
            ".......eLYYYe.......",
            ".......oLKKYo.......",
            "......eLYKKYYe......",
            "......oLYKKYYo......",
            ".....eLYYKKYYYe.....",
            ".....oLYYKKYYYo.....",
            "....eLYYYYYYYYYe....",
            "....oLYYYKKYYYYo....",
            "...eLYYYYKKYYYYYe...",
            "...oooooooooooooo...",
            "....ssssssssssssss..",
        },
        {{'.', kFaceGrey},
         {'o', outline},
         {'e', edge},
         {'Y', yellow},
         {'L', light},
         {'K', Qt::black},
         {'s', kShadowGrey}});
}

// 16 by 16 application icon, drawn pixel by pixel: at this size a rendered 8.8 would blur.
QImage Icon16() {
    const QColor frame(96, 98, 108);
    const QColor face(16, 14, 12);
    const QColor dim(64, 44, 12);
    return FromPattern(
        {
            "................",
            ".ffffffffffffff.",
            "fFFFFFFFFFFFFFFf",
            "fFAAAAFFFAAAAFFf",
            "fAFFFFAFAFFFFAFf",
            "fAFFFFAFAFFFFAFf",
            "fAFFFFAFAFFFFAFf",
            "fFAAAAFFFAAAAFFf",
            "fAFFFFAFAFFFFAFf",
            "fAFFFFAFAFFFFAFf",
            "fAFFFFAFAFFFFAFf",
            "fFAAAAFPFAAAAFFf",
            "fFFFFFFFFFFFFFFf",
            ".ffffffffffffff.",
            "......dffd......",
            "......dffd......",
        },
        {{'.', Qt::transparent},
         {'f', frame},
         {'F', face},
         {'A', kAmber},
         {'P', kAmberHot},
         {'d', dim}});
}

// --- Larger pictures -------------------------------------------------------------------

// The application icon at 32 pixels and above: a dark sign face in a metal frame showing
// 8.8 in amber digits.
QImage ApplicationIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const double s = size;
    const QRectF cabinet(s * 0.03, s * 0.09, s * 0.94, s * 0.74);
    const double radius = s * 0.12;

    // Pylon below the cabinet.
    QLinearGradient post(QPointF(s * 0.42, 0), QPointF(s * 0.58, 0));
    post.setColorAt(0, QColor(70, 72, 80));
    post.setColorAt(0.5, QColor(130, 132, 142));
    post.setColorAt(1, QColor(60, 62, 70));
    p.setPen(Qt::NoPen);
    p.setBrush(post);
    p.drawRect(QRectF(s * 0.43, cabinet.bottom() - 1, s * 0.14, s * 0.97 - cabinet.bottom()));

    QLinearGradient metal(cabinet.topLeft(), cabinet.bottomLeft());
    metal.setColorAt(0, QColor(150, 154, 166));
    metal.setColorAt(0.45, QColor(92, 95, 106));
    metal.setColorAt(1, QColor(52, 54, 62));
    p.setBrush(metal);
    p.setPen(QPen(QColor(24, 24, 28), std::max(1.0, s / 64)));
    p.drawRoundedRect(cabinet, radius, radius);

    const double inset = s * 0.075;
    const QRectF face = cabinet.adjusted(inset, inset, -inset, -inset);
    QLinearGradient faceShade(face.topLeft(), face.bottomLeft());
    faceShade.setColorAt(0, QColor(30, 26, 22));
    faceShade.setColorAt(1, kSignFace);
    p.setBrush(faceShade);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(face, radius * 0.45, radius * 0.45);

    // Two digits and the point between them, centred in the face.
    const double digitHeight = face.height() * 0.74;
    DigitStyle style{digitHeight * 0.52, digitHeight, digitHeight * 0.15, digitHeight * 0.018,
                     0.08};
    if (size <= 32) {
        style.thickness = digitHeight * 0.19;
        style.gap = 0;
    }
    const double pointGap = style.width * 0.42;
    const double total = style.width * 2 + pointGap;
    const QPointF origin(face.center().x() - total / 2 - style.slant * digitHeight / 2,
                         face.center().y() - digitHeight / 2);
    QPainterPath lit;
    QPainterPath unlit;
    AddDigit(lit, unlit, origin, style, kDigitSegments[8]);
    AddDigit(lit, unlit, origin + QPointF(style.width + pointGap, 0), style, kDigitSegments[8]);
    AddPoint(lit,
             {origin.x() + style.width + pointGap * 0.45,
              origin.y() + digitHeight - style.thickness * 0.5},
             style.thickness * 1.1);
    p.setClipRect(face);
    PaintLit(p, lit, image.size(), std::max(1, size / 24), 0.85);
    p.setClipping(false);

    // A glint across the top of the frame.
    QLinearGradient glint(cabinet.topLeft(), QPointF(cabinet.left(), cabinet.top() + inset));
    glint.setColorAt(0, QColor(255, 255, 255, 90));
    glint.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(glint);
    p.drawRoundedRect(cabinet.adjusted(s * 0.01, s * 0.01, -s * 0.01, -cabinet.height() * 0.8),
                      radius * 0.8, radius * 0.8);
    return image;
}

// The Lumivane mark: an amber seven-segment L and its point, shining, on a dark tile.
QImage AboutLogo() {
    const int size = 64;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF tile(1.5, 1.5, 61, 61);
    QLinearGradient back(tile.topLeft(), tile.bottomRight());
    back.setColorAt(0, QColor(44, 46, 56));
    back.setColorAt(1, QColor(12, 12, 16));
    p.setBrush(back);
    p.setPen(QPen(QColor(150, 120, 60), 1.2));
    p.drawRoundedRect(tile, 12, 12);

    // The L: segments f, e and d of a digit, and its point.
    const DigitStyle style{26, 42, 7, 0.6, 0.1};
    QPainterPath lit;
    QPainterPath unlit;
    AddDigit(lit, unlit, {11, 11}, style, (1u << kF) | (1u << kE) | (1u << kD));
    AddPoint(lit, {43.5, 49.5}, 7.5);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 150, 30, 30));
    p.drawPath(unlit);
    PaintLit(p, lit, image.size(), 3, 0.9);

    // The point shines: short rays fan out from it like the blades of a vane.
    const QPointF from(43.5, 49.5);
    for (int i = 0; i < 3; ++i) {
        const double angle = (-18 - i * 30) * M_PI / 180;
        const QPointF direction(std::cos(angle), std::sin(angle));
        p.setPen(QPen(kAmber, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(from + direction * 8, from + direction * 14.5);
    }
    return image;
}

void DrawCentredText(QPainter &p, const QRectF &box, const QString &text, const QFont &font,
                     const QColor &colour) {
    p.setFont(font);
    p.setPen(colour);
    p.drawText(box, Qt::AlignHCenter | Qt::AlignVCenter, text);
}

// Bitmap 144: the splash picture, 200 by 300, without the version line.
QImage Splash() {
    const int w = 200;
    const int h = 300;
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Night sky over the forecourt.
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0.0, QColor(22, 28, 44));
    sky.setColorAt(0.75, QColor(10, 12, 20));
    sky.setColorAt(1.0, QColor(6, 7, 10));
    p.fillRect(image.rect(), sky);
    QRadialGradient halo(QPointF(w / 2.0, 160), 120);
    halo.setColorAt(0, QColor(255, 160, 40, 46));
    halo.setColorAt(1, QColor(255, 160, 40, 0));
    p.fillRect(image.rect(), halo);

    // Wordmark.
    QFont mark("URW Gothic", 10, QFont::DemiBold);
    mark.setPixelSize(46);
    mark.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    QPainterPath word;
    const QString name = "VOXA";
    const double wordWidth = QFontMetricsF(mark).horizontalAdvance(name) - 3;
    word.addText((w - wordWidth) / 2, 56, mark, name);
    QLinearGradient gold(0, 18, 0, 58);
    gold.setColorAt(0, QColor(255, 226, 150));
    gold.setColorAt(0.55, QColor(255, 176, 36));
    gold.setColorAt(1, QColor(214, 112, 10));
    PaintLit(p, word, image.size(), 4, 0.55);
    p.setBrush(gold);
    p.drawPath(word);

    QFont tagline("Nimbus Sans Narrow", 8);
    tagline.setPixelSize(11);
    tagline.setLetterSpacing(QFont::AbsoluteSpacing, 0.2);
    DrawCentredText(p, QRectF(0, 62, w, 14), "Lumivane Electronic Sign Workstation", tagline,
                    QColor(214, 218, 230));

    // The price sign: a cabinet on a pylon with a brand band and three price lines.
    const QRectF cabinet(24, 90, 152, 150);
    QLinearGradient post(QPointF(90, 0), QPointF(110, 0));
    post.setColorAt(0, QColor(50, 52, 60));
    post.setColorAt(0.5, QColor(112, 116, 128));
    post.setColorAt(1, QColor(44, 46, 54));
    p.setPen(Qt::NoPen);
    p.setBrush(post);
    p.drawRect(QRectF(91, cabinet.bottom(), 18, 24));
    p.setBrush(QColor(36, 38, 44));
    p.drawRect(QRectF(70, cabinet.bottom() + 22, 60, 4));

    QLinearGradient metal(cabinet.topLeft(), cabinet.bottomLeft());
    metal.setColorAt(0, QColor(140, 144, 156));
    metal.setColorAt(0.5, QColor(86, 89, 100));
    metal.setColorAt(1, QColor(48, 50, 58));
    p.setBrush(metal);
    p.setPen(QPen(QColor(18, 18, 22), 1));
    p.drawRoundedRect(cabinet, 7, 7);

    const QRectF band(cabinet.left() + 6, cabinet.top() + 6, cabinet.width() - 12, 22);
    QLinearGradient bandShade(band.topLeft(), band.bottomLeft());
    bandShade.setColorAt(0, QColor(196, 40, 32));
    bandShade.setColorAt(1, QColor(130, 20, 18));
    p.setBrush(bandShade);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(band, 3, 3);
    QFont brand("URW Gothic", 10, QFont::DemiBold);
    brand.setPixelSize(13);
    brand.setLetterSpacing(QFont::AbsoluteSpacing, 2.5);
    DrawCentredText(p, band.adjusted(0, 1, 0, 0), "LUMIVANE", brand, QColor(255, 246, 232));

    const QRectF face(band.left(), band.bottom() + 4, band.width(),
                      cabinet.bottom() - 6 - band.bottom() - 4);
    p.setBrush(kSignFace);
    p.drawRoundedRect(face, 3, 3);

    struct Line {
        const char *grade;
        const char *price;
    };
    const Line lines[] = {{"REGULAR", "3.499"}, {"PLUS", "3.699"}, {"PREMIUM", "3.899"}};
    const DigitStyle digits{14.5, 27, 3.5, 0.35, 0.07};
    QFont grade("Nimbus Sans Narrow", 8, QFont::Bold);
    grade.setPixelSize(10);
    grade.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    QPainterPath lit;
    QPainterPath unlit;
    const double rowHeight = face.height() / 3;
    for (int i = 0; i < 3; ++i) {
        const double top = face.top() + rowHeight * i;
        if (i > 0) {
            p.setPen(QPen(QColor(60, 58, 56), 1));
            p.drawLine(QPointF(face.left() + 4, top + 0.5), QPointF(face.right() - 4, top + 0.5));
        }
        p.setFont(grade);
        p.setPen(QColor(232, 232, 236));
        p.drawText(QRectF(face.left() + 6, top, 52, rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   lines[i].grade);
        // Prices stand flush right, as on the signs.
        QPainterPath measureLit;
        QPainterPath measureUnlit;
        const double width = AddPrice(measureLit, measureUnlit, {0, 0}, digits, lines[i].price) +
                             digits.slant * digits.height;
        AddPrice(lit, unlit, {face.right() - 7 - width, top + (rowHeight - digits.height) / 2},
                 digits, lines[i].price);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kAmberUnlit);
    p.drawPath(unlit);
    PaintLit(p, lit, image.size(), 2, 0.9);

    // Frame glint.
    QLinearGradient glint(cabinet.topLeft(), QPointF(cabinet.left(), cabinet.top() + 5));
    glint.setColorAt(0, QColor(255, 255, 255, 110));
    glint.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(glint);
    p.drawRoundedRect(cabinet.adjusted(1, 1, -1, -cabinet.height() + 6), 6, 6);

    // The band from y = 274 to 290 stays empty: the workstation writes its version there
    // when it shows the picture (app/splash_window.cpp), from the one place the version is
    // set, so the picture never has to be redrawn for a new version.
    return image.convertToFormat(QImage::Format_RGB32);
}

// The status pictures and the splash are shown as they are drawn; they have no alpha.
bool Save(const QImage &image, const QDir &directory, const QString &name) {
    const QString path = directory.filePath(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "make_artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_artwork <output directory>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists()) {
        std::fprintf(stderr, "make_artwork: no directory %s\n", argv[1]);
        return 2;
    }

    bool ok = true;
    ok &= Save(Icon16(), out, "icon-128-16.png");
    for (int size : {32, 48, 128, 256}) {
        ok &= Save(ApplicationIcon(size), out, QString("icon-128-%1.png").arg(size));
    }
    ok &= Save(ReadyStatus().convertToFormat(QImage::Format_RGB32), out, "bitmap-130.png");
    ok &= Save(ErrorStatus().convertToFormat(QImage::Format_RGB32), out, "bitmap-158.png");
    ok &= Save(AboutLogo(), out, "bitmap-142.png");
    ok &= Save(Splash(), out, "bitmap-144.png");
    return ok ? 0 : 1;
}
