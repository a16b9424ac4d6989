#include "splash_window.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>

#include "resource_ids.h"
#include "voxa_version.h"

namespace {

// The picture's version line: its colour and size, in a sans-serif face.
const QColor kVersionColour(170, 176, 192);
constexpr int kVersionPixelSize = 11;

}  // namespace

QString SplashWindow::VersionText() {
    return QString("Version %1").arg(kVoxaVersion);
}

SplashWindow::SplashWindow(QWidget *owner)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QString::fromStdString(Ids::ObjectNameFor(Ids::Dialog::kSplash)));
    QPixmap picture(QString::fromStdString(Ids::Bitmap::ResourcePath(Ids::Bitmap::kSplash)));
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::TextAntialiasing);
        QFont font("Nimbus Sans");
        font.setStyleHint(QFont::SansSerif);
        font.setPixelSize(kVersionPixelSize);
        painter.setFont(font);
        painter.setPen(kVersionColour);
        painter.drawText(kVersionBand, Qt::AlignCenter, VersionText());
    }
    auto *label = new QLabel(this);
    label->setObjectName(QString::fromStdString(Ids::ObjectNameFor(Ids::Splash::kPicture)));
    label->setPixmap(picture);
    label->setGeometry(0, 0, picture.width(), picture.height());
    setFixedSize(picture.size());
}

void SplashWindow::ShowNow() {
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    show();
    raise();
    repaint();
    // Let the window system map and paint it before the controller is asked anything.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
}
