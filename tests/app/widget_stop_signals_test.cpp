#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <fstream>
#include <memory>
#include <sstream>

#include "device_map.h"
#include "main_window.h"
#include "simulated_site.h"
#include "stop_signals.h"

// A shutdown's SIGTERM while a dialog is open: the dialog closes as if cancelled and the
// program ends the orderly way, its settings saved.
class StopSignalsTest : public QObject {
    Q_OBJECT

private slots:
    void TermClosesTheDialogAndSavesTheSettings();
};

void StopSignalsTest::TermClosesTheDialogAndSavesTheSettings() {
    QTemporaryDir dir;
    const QString settings = dir.filePath("voxa.ini");
    std::ofstream(settings.toStdString()) << "[Communications]\nPort=COM1\n";
    SimulatedSite site;
    DeviceMap devices;
    MainWindow window(site.platform, site.console, devices, settings);
    StopSignals stop([&window] { window.EndForSystem(); });
    QVERIFY(window.Initialise());
    window.System()->SetLineTag(0, "Renamed");
    window.System()->SetLineTagsDisplayPending(true);
    window.Tick();

    int dialogResult = -1;
    QTimer::singleShot(0, &window, [&] {
        QDialog dialog(&window);
        dialog.setModal(true);
        QTimer::singleShot(50, [] { std::raise(SIGTERM); });
        dialogResult = dialog.exec();
    });
    QTimer::singleShot(0, &window, [&window] { window.exec(); });
    QTRY_VERIFY_WITH_TIMEOUT(dialogResult != -1, 5000);
    QCOMPARE(dialogResult, int(QDialog::Rejected));
    QTRY_VERIFY_WITH_TIMEOUT(window.System() == nullptr, 5000);

    std::ifstream in(settings.toStdString());
    std::stringstream text;
    text << in.rdbuf();
    QVERIFY2(text.str().find("tag0=Renamed") != std::string::npos, text.str().c_str());
}

QTEST_MAIN(StopSignalsTest)
#include "widget_stop_signals_test.moc"
