#pragma once

#include <QWidget>

// The picture shown while the controller is first asked for its lines and prices: a
// window without border or caption, centred on the screen.
class SplashWindow : public QWidget {
    Q_OBJECT

public:
    explicit SplashWindow(QWidget *owner = nullptr);

    // Shows the window and paints it at once: start-up does not return to the event loop
    // until it closes the splash.
    void ShowNow();
};
