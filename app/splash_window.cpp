#include "splash_window.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>

#include "resource_ids.h"

SplashWindow::SplashWindow(QWidget *owner)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QString::fromStdString(Ids::ObjectNameFor(Ids::Dialog::kSplash)));
    const QPixmap picture(QString::fromStdString(Ids::Bitmap::ResourcePath(Ids::Bitmap::kSplash)));
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
