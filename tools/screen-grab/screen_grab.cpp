// voxa-screen-grab FILE.png [MIN-WIDTH]: saves what is drawn on the X display as a PNG,
// cut to the smallest rectangle holding everything that differs from the screen's
// background. Under a virtual display without a window manager that is the window on
// show. With MIN-WIDTH, exits with status 3 and saves nothing while that rectangle is
// narrower (the splash is on show, or nothing yet), so a script can wait for the main
// window.
//
// voxa-screen-grab --window ID FILE.png: saves the one window of that X id (as xdotool
// gives it), whatever lies over or under it, for the pictures of the manual.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The bounding rectangle of the pixels that differ from the corner pixel.
QRect DrawnArea(const QImage &image) {
    const QRgb background = image.pixel(0, 0);
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] == background) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

}  // namespace

int main(int argc, char *argv[]) {
    QGuiApplication application(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--window") == 0) {
        QScreen *screen = QGuiApplication::primaryScreen();
        const WId window = static_cast<WId>(std::strtoull(argv[2], nullptr, 0));
        const QPixmap picture = screen == nullptr ? QPixmap() : screen->grabWindow(window);
        if (picture.isNull() || !picture.save(argv[3], "PNG")) {
            std::fprintf(stderr, "voxa-screen-grab: could not save window %s as %s\n", argv[2],
                         argv[3]);
            return 1;
        }
        return 0;
    }
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr,
                     "usage: voxa-screen-grab FILE.png [MIN-WIDTH]\n"
                     "       voxa-screen-grab --window ID FILE.png\n");
        return 2;
    }
    const int minWidth = argc == 3 ? std::atoi(argv[2]) : 0;
    QScreen *screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        std::fprintf(stderr, "voxa-screen-grab: no screen\n");
        return 1;
    }
    const QImage image = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    const QRect area = DrawnArea(image);
    if (area.isEmpty() || area.width() < minWidth) {
        return 3;
    }
    if (!image.copy(area).save(argv[1], "PNG")) {
        std::fprintf(stderr, "voxa-screen-grab: could not save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
