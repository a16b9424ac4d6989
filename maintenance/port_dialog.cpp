#include "port_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>

#include "device_map.h"
#include "entry_text.h"
#include "resource_ids.h"
#include "scoped_wait_cursor.h"
#include "sign_system.h"

namespace {

// The port name without its leading "C", "O" and "M" characters: "COM3" gives "3".
QString PortNumberText(const std::string &portName) {
    const QString name = QString::fromStdString(portName);
    qsizetype i = 0;
    while (i < name.size() && (name[i] == 'C' || name[i] == 'O' || name[i] == 'M')) ++i;
    return name.mid(i);
}

// The line the link's diagnostic gives for a port that did not open, without the name of
// the operation and the line end.
QString Reason(const std::string &diagnostic) {
    QString text = QString::fromStdString(diagnostic).trimmed();
    if (text.startsWith("Open(): ")) text.remove(0, 8);
    return text;
}

}  // namespace

PortDialog::PortDialog(SignSystem &system, DeviceMap &devices, const PortDiscovery &discovery,
                       QWidget *parent)
    : ControllerDialog(system, Ids::Dialog::kPort, "Com Port Configuration", {212, 180}, parent,
                       Opening::Quiet),
      m_devices(devices),
      m_discovery(discovery) {
    namespace P = Ids::Port;
    // A caption without a close box.
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint) &
                   ~(Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint));
    ControlBuilder &b = Build();
    b.GroupBox("Serial Communications Facilities", {7, 7, 198, 144});
    b.Static("COM Port:", {15, 22, 40, 8});
    m_list = b.DropDownList(P::kPortList, {}, {58, 20, 40, 80});
    QPushButton *refresh = b.Button(P::kRefresh, "&Refresh", {105, 19, 50, 14});
    m_device = b.Static(P::kDevice, QString(), {15, 38, 182, 26}, Qt::AlignLeft | Qt::AlignTop);
    m_device->setWordWrap(true);
    QLabel *deviceLabel = b.Static("&Device:", {15, 67, 30, 8});
    m_devicePath = b.Edit(P::kDevicePath, {48, 65, 149, 12});
    m_devicePath->setPlaceholderText("/dev/ttyUSB0");
    deviceLabel->setBuddy(m_devicePath);
    m_message = b.Static(P::kMessage, QString(), {15, 81, 182, 52}, Qt::AlignLeft | Qt::AlignTop);
    m_message->setWordWrap(true);
    // Also where the note on the device's group shows: its command can be copied from it.
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    b.Static(kInformation, {15, 137, 182, 8}, Qt::AlignCenter);
    m_startup = b.CheckBox(P::kShowAtStartup, "Show this screen at startup", {15, 160, 120, 10});
    QPushButton *ok = b.Button(P::kOk, "&OK", {155, 158, 50, 14}, true);

    connect(ok, &QPushButton::clicked, this, [this] { WhenIdle([this] { Ok(); }); });
    connect(refresh, &QPushButton::clicked, this, [this] {
        WhenIdle([this] {
            ListPorts(m_list->currentText());
            m_message->setText(SelectedAccessNote());
        });
    });
    // At start-up the main window is not on the screen yet: the dialog goes to the middle
    // of the screen instead of the corner where the hidden window sits.
    if ((parent == nullptr || !parent->window()->isVisible()) && screen() != nullptr) {
        move(screen()->availableGeometry().center() - rect().center());
    }
    // Stored at once: the change stays even when the dialog is then cancelled.
    connect(m_startup, &QCheckBox::clicked, this,
            [this](bool checked) { System().SetShowPortDialog(checked); });
    // A port chosen from the list and a device typed exclude each other, so that OK is
    // never in doubt about which one is meant.
    connect(m_list, &QComboBox::currentIndexChanged, this, [this] {
        if (m_list->currentIndex() >= 0) m_devicePath->clear();
        ShowDevice();
        m_message->setText(SelectedAccessNote());
    });
    connect(m_devicePath, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (!text.isEmpty()) m_list->setCurrentIndex(-1);
        ShowDevice();
        m_message->clear();
    });
}

QString PortDialog::AccessNote(const DeviceAccess::Need &need, bool selected) {
    if (need.group.empty()) return {};
    const QString group = QString::fromStdString(need.group);
    const QString port = selected ? "this port" : "the ports listed";
    if (need.joined) {
        return QString(
                   "You were added to the group %1, which may use %2, but that counts only "
                   "from your next log-in: log out and log in again.")
            .arg(group, port);
    }
    return QString(
               "You are not in the group %1, which may use %2. To join it, run in a "
               "terminal:\n    %3\nthen log out and log in again.")
        .arg(group, port, QString::fromStdString(DeviceAccess::JoinCommand(need.group)));
}

QString PortDialog::SelectedAccessNote() const {
    if (m_list->currentIndex() >= 0) {
        const PortDiscovery::Port *port = PortFor(EntryText::ToInt(m_list->currentText()));
        return port == nullptr ? QString() : AccessNote(port->access, true);
    }
    for (const PortDiscovery::Port &port : m_ports) {
        if (!port.access.group.empty()) return AccessNote(port.access, false);
    }
    return {};
}

void PortDialog::Read() {
    // The first entry that begins with the current port's number; none for a name such as
    // "XXX" or a port that is not listed.
    ListPorts(PortNumberText(System().GetPortName()));
    m_startup->setChecked(System().ShowPortDialog());
    ShowDevice();
    m_message->setText(SelectedAccessNote());
}

void PortDialog::ListPorts(const QString &keep) {
    // Rebuilt at every showing and every Refresh; nothing is opened to find the ports.
    const QSignalBlocker quiet(m_list);
    m_ports = m_discovery.Ports(m_devices);
    m_list->clear();
    for (const PortDiscovery::Port &port : m_ports) {
        m_list->addItem(QString::number(port.number));
    }
    m_list->resize(m_list->width(), m_list->sizeHint().height());
    m_list->setCurrentIndex(keep.isEmpty() ? -1 : m_list->findText(keep, Qt::MatchStartsWith));
    ShowDevice();
}

const PortDiscovery::Port *PortDialog::PortFor(int number) const {
    for (const PortDiscovery::Port &port : m_ports) {
        if (port.number == number) return &port;
    }
    return nullptr;
}

const PortDiscovery::Port *PortDialog::PortWithDevice(const std::string &path) const {
    for (const PortDiscovery::Port &port : m_ports) {
        if (port.device == path) return &port;
    }
    return nullptr;
}

int PortDialog::FreeNumber() const {
    for (int number = PortDiscovery::kFirstPort; number <= PortDiscovery::kLastPort; ++number) {
        if (PortFor(number) == nullptr && m_devices.Entries().count(number) == 0) return number;
    }
    return 0;
}

void PortDialog::ShowDevice() {
    const std::string typed = m_devicePath->text().trimmed().toStdString();
    if (!typed.empty()) {
        const PortDiscovery::Port *listed = PortWithDevice(typed);
        const int number = listed != nullptr ? listed->number : FreeNumber();
        m_device->setText(number == 0
                              ? QString("Every port name from COM1 to COM9 is taken: choose "
                                        "one from the list.")
                              : QString("OK names the device you typed COM%1.").arg(number));
        return;
    }
    const PortDiscovery::Port *port =
        m_list->currentIndex() < 0 ? nullptr : PortFor(EntryText::ToInt(m_list->currentText()));
    if (port == nullptr) {
        m_device->setText(m_ports.empty() ? kNoPortFound : kChoosePort);
        return;
    }
    QStringList lines{QString::fromStdString(port->device)};
    const QString usb = QString::fromStdString(port->maker + " " + port->product).simplified();
    if (!usb.isEmpty()) lines << usb;
    if (port->offered) lines << QString("New adapter: OK names it COM%1.").arg(port->number);
    m_device->setText(lines.join('\n'));
}

void PortDialog::Ok() {
    const std::string typed = m_devicePath->text().trimmed().toStdString();
    if (!typed.empty()) {
        TakeTypedDevice(typed);
        return;
    }
    if (m_list->currentIndex() < 0) {
        // The dialog stays: closing it would leave a port name that opens nothing.
        m_message->setText(kNothingChosen);
        return;
    }
    const int number = EntryText::ToInt(m_list->currentText());
    const PortDiscovery::Port *port = PortFor(number);
    const bool offered = port != nullptr && port->offered;
    TryPort(number, offered, offered ? port->device : std::string());
}

void PortDialog::TakeTypedDevice(const std::string &path) {
    if (path.front() != '/') {
        m_message->setText(QString("Type the device's whole path, starting with /, such as "
                                   "/dev/ttyUSB0 (\"%1\" is not one).")
                               .arg(QString::fromStdString(path)));
        return;
    }
    if (const PortDiscovery::Port *listed = PortWithDevice(path)) {
        TryPort(listed->number, listed->offered, listed->offered ? path : std::string());
        return;
    }
    const int number = FreeNumber();
    if (number == 0) {
        m_message->setText(
            "Every port name from COM1 to COM9 is taken: choose one from the list, or "
            "free a name in the [Devices] section of voxa.ini.");
        return;
    }
    TryPort(number, true, path);
}

void PortDialog::TryPort(int number, bool newMapping, const std::string &device) {
    const std::string name = "COM" + std::to_string(number);
    // A new device is tried under the name it is given.
    if (newMapping) m_devices.Set(number, device);

    bool opened = false;
    {
        ScopedWaitCursor wait;
        opened = System().TestOpen(name);
    }
    if (!opened) {
        if (newMapping) m_devices.Set(number, "");
        const QString current = QString::fromStdString(System().GetPortName());
        const QString stays = current.startsWith("COM")
                                  ? QString("so the port stays %1").arg(current)
                                  : QString("so no port is set yet");
        // A group the user is not in says more, and says what to do.
        const PortDiscovery::Port *port = PortFor(number);
        const QString note = port == nullptr ? QString() : AccessNote(port->access, true);
        // A typed device is not listed: it is named by its path.
        const QString what = QString::fromStdString(port == nullptr ? device : name);
        m_message->setText(
            QString("%1 could not be opened, %2.\n%3")
                .arg(what, stays, note.isEmpty() ? Reason(System().LinkProblem()) : note));
        return;
    }
    const std::string before = System().GetPortName();
    System().SetPortName(name);
    if (before != System().GetPortName()) {
        System().RecordChange("port", before.empty() ? std::nullopt : std::optional(before),
                              System().GetPortName(), "done");
    }
    System().SetShowPortDialog(m_startup->isChecked());
    done(Ids::Result::kOk);
}
