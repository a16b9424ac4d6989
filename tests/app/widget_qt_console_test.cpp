#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "qt_console.h"
#include "splash_window.h"

// The workstation's message boxes: their details, and where they appear.
class QtConsoleTest : public QObject {
    Q_OBJECT

private slots:
    void DetailsSitBehindTheDetailsButton_data();
    void DetailsSitBehindTheDetailsButton();
    void BoxBeforeTheWindowIsShownIsCentredOnTheSplash();

private:
    // Runs show, inspecting the message box it opens and closing it.
    static void WithBox(const std::function<void()> &show,
                        const std::function<void(QMessageBox &)> &inspect);
};

void QtConsoleTest::WithBox(const std::function<void()> &show,
                            const std::function<void(QMessageBox &)> &inspect) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        seen = true;
        inspect(*box);
        box->accept();
    });
    show();
    QVERIFY(seen);
}

void QtConsoleTest::DetailsSitBehindTheDetailsButton_data() {
    QTest::addColumn<QString>("details");
    QTest::newRow("port diagnostic")
        << "Open(): /dev/ttyUSB0: permission denied; the device belongs to group dialout: add "
           "the user to that group and log in again (open() failed: (13) Permission denied)";
    QTest::newRow("none") << QString();
}

void QtConsoleTest::DetailsSitBehindTheDetailsButton() {
    QFETCH(QString, details);
    QWidget owner;
    owner.show();
    QtConsole console;
    console.SetOwner(&owner);
    const std::string text = "CC sent VOXA an unknown status.\nCmd Code: 22 Status:ffffffff";
    WithBox([&] { console.ShowDetailedMessage(text, details.toStdString()); },
            [&](QMessageBox &box) {
                QCOMPARE(box.text(), QString::fromStdString(text));
                QCOMPARE(box.detailedText(), details);
                QCOMPARE(box.icon(), QMessageBox::Warning);
                QCOMPARE(box.windowTitle(), QCoreApplication::applicationName());
            });
}

void QtConsoleTest::BoxBeforeTheWindowIsShownIsCentredOnTheSplash() {
    QWidget window;  // not shown yet, as during start-up
    window.resize(600, 400);
    auto *splash = new SplashWindow(&window);
    splash->ShowNow();
    QtConsole console;
    console.SetOwner(&window);
    WithBox([&] { console.ShowMessage("Central Controller: Invalid Line Number"); },
            [&](QMessageBox &box) {
                QCOMPARE(box.parentWidget(), static_cast<QWidget *>(splash));
                const QPoint offset = box.geometry().center() - splash->geometry().center();
                QVERIFY2(offset.manhattanLength() < 20,
                         qPrintable(QString("off by %1, %2").arg(offset.x()).arg(offset.y())));
            });
}

QTEST_MAIN(QtConsoleTest)
#include "widget_qt_console_test.moc"
