// The port dialog on a machine that has no port yet, a port to type, and an adapter
// plugged in while the dialog is open.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QtTest>
#include <memory>

#include "device_map.h"
#include "dialog_test_kit.h"
#include "fake_device_tree.h"
#include "port_dialog.h"
#include "resource_ids.h"

namespace {

using Site = BasicDialogSite<RecordingConsole>;

constexpr const char *kAdapter = "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
const std::string kAdapterPath = std::string("/dev/serial/by-id/") + kAdapter;

}  // namespace

class PortDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void NoPortFoundSaysSoAndRefreshFindsAnAdapterPluggedInLater();
    void OkWithNothingChosenKeepsTheDialogOpen();
    void TypedDeviceGetsAFreeNameKeptOnlyWhenItOpens();
    void TypedDeviceOfAListedPortChoosesThatPort();
    void TypedDeviceMustBeAWholePath_data();
    void TypedDeviceMustBeAWholePath();
    void TypingAndChoosingExcludeEachOther();
    void EveryNameTakenIsSaid();

private:
    PortDialog &Open();
    QComboBox *List() const { return Child<QComboBox>(m_dialog.get(), Ids::Port::kPortList); }
    QLineEdit *Typed() const { return Child<QLineEdit>(m_dialog.get(), Ids::Port::kDevicePath); }
    QString Device() const { return Child<QLabel>(m_dialog.get(), Ids::Port::kDevice)->text(); }
    QString Message() const { return Child<QLabel>(m_dialog.get(), Ids::Port::kMessage)->text(); }
    void Press(int id) const { Child<QPushButton>(m_dialog.get(), id)->click(); }

    std::unique_ptr<Site> m_site;
    std::unique_ptr<FakeDeviceTree> m_tree;
    std::unique_ptr<DeviceMap> m_devices;
    std::unique_ptr<PortDiscovery> m_discovery;
    std::unique_ptr<PortDialog> m_dialog;
};

void PortDialogTest::init() {
    m_site = std::make_unique<Site>();
    // A first start: no port named yet.
    m_site->system.SetPortName("XXX");
    m_tree = std::make_unique<FakeDeviceTree>();
    m_devices = std::make_unique<DeviceMap>();
    m_discovery = std::make_unique<PortDiscovery>(m_tree->Root());
}

void PortDialogTest::cleanup() {
    m_dialog.reset();
    m_site.reset();
}

PortDialog &PortDialogTest::Open() {
    m_dialog = std::make_unique<PortDialog>(m_site->system, *m_devices, *m_discovery);
    m_dialog->Initialise();
    m_dialog->show();
    return *m_dialog;
}

void PortDialogTest::NoPortFoundSaysSoAndRefreshFindsAnAdapterPluggedInLater() {
    Open();
    QCOMPARE(List()->count(), 0);
    QCOMPARE(Device(), QString(PortDialog::kNoPortFound));
    QCOMPARE(Device(), QString("No serial port was found on this PC. Plug in the controller's "
                               "cable or USB adapter and press Refresh."));

    m_tree->AddUsbAdapter(kAdapter, "ttyUSB0", "FTDI", "FT232R USB UART");
    Press(Ids::Port::kRefresh);
    QCOMPARE(List()->count(), 1);
    QCOMPARE(List()->currentIndex(), -1);
    QCOMPARE(Device(), QString(PortDialog::kChoosePort));
    List()->setCurrentIndex(0);
    Press(Ids::Port::kOk);
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_site->system.GetPortName(), std::string("COM1"));
    QCOMPARE(m_devices->DevicePath("COM1"), kAdapterPath);
    // Looking for ports opens none: only OK's try did.
    QCOMPARE(m_site->platform.OpenTries(), std::vector<std::string>{"COM1"});
}

void PortDialogTest::OkWithNothingChosenKeepsTheDialogOpen() {
    for (int i = 0; i < 2; ++i) m_tree->AddUart(i, 4);
    // Ports listed but none chosen (the current port is not one), then no port at all.
    for (bool none : {false, true}) {
        if (none) m_tree = std::make_unique<FakeDeviceTree>();
        m_discovery = std::make_unique<PortDiscovery>(m_tree->Root());
        Open();
        QCOMPARE(List()->count(), none ? 0 : 2);
        Press(Ids::Port::kOk);
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(Message(), QString(PortDialog::kNothingChosen));
        QCOMPARE(m_site->system.GetPortName(), std::string("XXX"));
        QCOMPARE(m_site->platform.OpenCount(), 0);
        QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
        QCOMPARE(m_dialog->result(), Ids::Result::kCancel);
        QCOMPARE(m_site->system.GetPortName(), std::string("XXX"));
    }
}

void PortDialogTest::TypedDeviceGetsAFreeNameKeptOnlyWhenItOpens() {
    m_tree->AddUart(0, 4);
    // COM2 is reserved for an adapter that is not plugged in: the typed device gets COM3.
    m_devices->Set(2, "/dev/serial/by-id/usb-gone");
    m_site->platform.SetHeldPorts({"COM3"});
    Open();
    QTest::keyClicks(Typed(), "/tmp/cc-line");
    QCOMPARE(Device(), QString("OK names the device you typed COM3."));

    Press(Ids::Port::kOk);
    QVERIFY(m_dialog->isVisible());
    QVERIFY2(Message().startsWith("/tmp/cc-line could not be opened, so no port is set yet.\n"),
             qPrintable(Message()));
    QVERIFY2(Message().contains("in use by another program"), qPrintable(Message()));
    QCOMPARE(m_devices->DevicePath("COM3"), std::string("/dev/ttyS2"));
    QCOMPARE(m_site->system.GetPortName(), std::string("XXX"));

    m_site->platform.SetHeldPorts({});
    Press(Ids::Port::kOk);
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), Ids::Result::kOk);
    QCOMPARE(m_site->system.GetPortName(), std::string("COM3"));
    QCOMPARE(m_devices->DevicePath("COM3"), std::string("/tmp/cc-line"));
    QCOMPARE(m_devices->DevicePath("COM2"), std::string("/dev/serial/by-id/usb-gone"));
}

void PortDialogTest::TypedDeviceOfAListedPortChoosesThatPort() {
    for (int i = 0; i < 3; ++i) m_tree->AddUart(i, 4);
    Open();
    QTest::keyClicks(Typed(), " /dev/ttyS1 ");
    QCOMPARE(Device(), QString("OK names the device you typed COM2."));
    Press(Ids::Port::kOk);
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_site->system.GetPortName(), std::string("COM2"));
    // The built-in port needs no entry of its own.
    QVERIFY(m_devices->Entries().empty());
}

void PortDialogTest::TypedDeviceMustBeAWholePath_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("name only") << "ttyUSB0";
    QTest::newRow("relative") << "dev/ttyUSB0";
    QTest::newRow("port name") << "COM1";
}

void PortDialogTest::TypedDeviceMustBeAWholePath() {
    QFETCH(QString, typed);
    Open();
    QTest::keyClicks(Typed(), typed);
    Press(Ids::Port::kOk);
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(Message(), QString("Type the device's whole path, starting with /, such as "
                                "/dev/ttyUSB0 (\"%1\" is not one).")
                            .arg(typed));
    QCOMPARE(m_site->platform.OpenCount(), 0);
    QVERIFY(m_devices->Entries().empty());
}

void PortDialogTest::TypingAndChoosingExcludeEachOther() {
    for (int i = 0; i < 2; ++i) m_tree->AddUart(i, 4);
    m_site->system.SetPortName("COM2");
    Open();
    QCOMPARE(List()->currentText(), QString("2"));
    QTest::keyClicks(Typed(), "/dev/ttyACM0");
    QCOMPARE(List()->currentIndex(), -1);
    List()->setCurrentIndex(0);
    QVERIFY(Typed()->text().isEmpty());
    QCOMPARE(Device(), QString("/dev/ttyS0"));
    Press(Ids::Port::kOk);
    QCOMPARE(m_site->system.GetPortName(), std::string("COM1"));
}

void PortDialogTest::EveryNameTakenIsSaid() {
    for (int n = 1; n <= 9; ++n) m_devices->Set(n, "/dev/serial/by-id/usb-" + std::to_string(n));
    Open();
    QTest::keyClicks(Typed(), "/dev/ttyACM0");
    Press(Ids::Port::kOk);
    QVERIFY(m_dialog->isVisible());
    QVERIFY2(Message().startsWith("Every port name from COM1 to COM9 is taken"),
             qPrintable(Message()));
    QCOMPARE(m_site->platform.OpenCount(), 0);
}

QTEST_MAIN(PortDialogTest)
#include "widget_port_dialog_test.moc"
