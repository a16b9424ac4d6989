#include <QLabel>
#include <QtTest>
#include <algorithm>
#include <cstdlib>

#include "resource_ids.h"
#include "splash_window.h"

namespace {

// The largest step in any colour channel between two neighbouring pixels of a row inside
// the rectangle: small for the picture's smooth sky, large where text has an edge.
int LargestStep(const QImage &image, const QRect &area) {
    int largest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left() + 1; x <= area.right(); ++x) {
            const QRgb a = image.pixel(x - 1, y);
            const QRgb b = image.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(a) - qRed(b)),
                                std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
        }
    }
    return largest;
}

// The smallest rectangle holding every pixel in which the two images differ.
QRect Differences(const QImage &a, const QImage &b) {
    QRect found;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) found |= QRect(x, y, 1, 1);
        }
    }
    return found;
}

constexpr int kTextEdge = 24;

}  // namespace

// The splash picture and the version written on it.
class SplashWindowTest : public QObject {
    Q_OBJECT

private slots:
    void PictureLeavesTheVersionBandEmpty();
    void VersionIsWrittenIntoItsBandOnly();
};

void SplashWindowTest::PictureLeavesTheVersionBandEmpty() {
    // A version drawn into the artwork could disagree with the program's.
    const QImage picture(QString::fromStdString(Ids::Bitmap::ResourcePath(Ids::Bitmap::kSplash)));
    QVERIFY(!picture.isNull());
    const int step = LargestStep(picture, SplashWindow::kVersionBand);
    QVERIFY2(step < kTextEdge, qPrintable(QString("a step of %1 in the band").arg(step)));
}

void SplashWindowTest::VersionIsWrittenIntoItsBandOnly() {
    const QImage picture =
        QImage(QString::fromStdString(Ids::Bitmap::ResourcePath(Ids::Bitmap::kSplash)))
            .convertToFormat(QImage::Format_RGB32);
    SplashWindow splash;
    auto *label = splash.findChild<QLabel *>(
        QString::fromStdString(Ids::ObjectNameFor(Ids::Splash::kPicture)));
    QVERIFY(label != nullptr);
    const QImage shown = label->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), picture.size());
    QCOMPARE(splash.size(), picture.size());

    const QRect changed = Differences(picture, shown);
    QVERIFY(!changed.isEmpty());
    QVERIFY2(SplashWindow::kVersionBand.contains(changed), qPrintable(QString("changed %1,%2 %3x%4")
                                                                          .arg(changed.x())
                                                                          .arg(changed.y())
                                                                          .arg(changed.width())
                                                                          .arg(changed.height())));
    QVERIFY(LargestStep(shown, SplashWindow::kVersionBand) >= kTextEdge);
}

QTEST_MAIN(SplashWindowTest)
#include "widget_splash_window_test.moc"
