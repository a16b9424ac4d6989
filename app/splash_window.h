#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

// The picture shown while the controller is first asked for its lines and prices: a
// window without border or caption, centred on the screen. The picture leaves a band at
// its foot for the version, which is written there from the program's own version.
class SplashWindow : public QWidget {
    Q_OBJECT

public:
    // Where the picture leaves room for the version line.
    static constexpr QRect kVersionBand{0, 274, 200, 16};

    static QString VersionText();

    explicit SplashWindow(QWidget *owner = nullptr);

    // Shows the window and paints it at once: start-up does not return to the event loop
    // until it closes the splash.
    void ShowNow();
};
