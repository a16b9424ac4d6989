#include "port_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

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
    : ControllerDialog(system, Ids::Dialog::kPort, "Com Port Configuration", {212, 158}, parent,
                       Opening::Quiet),
      m_devices(devices),
      m_discovery(discovery) {
    namespace P = Ids::Port;
    // A caption without a close box.
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint) &
                   ~(Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint));
    ControlBuilder &b = Build();
    b.GroupBox("Serial Communications Facilities", {7, 7, 198, 122});
    b.Static("COM Port:", {15, 22, 40, 8});
    m_list = b.DropDownList(P::kPortList, {}, {58, 20, 40, 80});
    m_device = b.Static(P::kDevice, QString(), {15, 36, 182, 26}, Qt::AlignLeft | Qt::AlignTop);
    m_device->setWordWrap(true);
    m_message = b.Static(P::kMessage, QString(), {15, 62, 182, 50}, Qt::AlignLeft | Qt::AlignTop);
    m_message->setWordWrap(true);
    // Also where the note on the device's group shows: its command can be copied from it.
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    b.Static(kInformation, {15, 115, 182, 8}, Qt::AlignCenter);
    m_startup = b.CheckBox(P::kShowAtStartup, "Show this screen at startup", {15, 138, 120, 10});
    QPushButton *ok = b.Button(P::kOk, "&OK", {155, 136, 50, 14}, true);

    connect(ok, &QPushButton::clicked, this, [this] { WhenIdle([this] { Ok(); }); });
    // At start-up the main window is not on the screen yet: the dialog goes to the middle
    // of the screen instead of the corner where the hidden window sits.
    if ((parent == nullptr || !parent->window()->isVisible()) && screen() != nullptr) {
        move(screen()->availableGeometry().center() - rect().center());
    }
    // Stored at once: the change stays even when the dialog is then cancelled.
    connect(m_startup, &QCheckBox::clicked, this,
            [this](bool checked) { System().SetShowPortDialog(checked); });
    connect(m_list, &QComboBox::currentIndexChanged, this, [this] {
        ShowDevice();
        m_message->setText(SelectedAccessNote());
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
    // Rebuilt at every showing; nothing is opened to find the ports.
    m_ports = m_discovery.Ports(m_devices);
    m_list->clear();
    for (const PortDiscovery::Port &port : m_ports) {
        m_list->addItem(QString::number(port.number));
    }
    m_list->resize(m_list->width(), m_list->sizeHint().height());
    // The first entry that begins with the current port's number; none for a name such as
    // "XXX" or a port that is not listed.
    m_list->setCurrentIndex(
        m_list->findText(PortNumberText(System().GetPortName()), Qt::MatchStartsWith));
    m_startup->setChecked(System().ShowPortDialog());
    ShowDevice();
    m_message->setText(SelectedAccessNote());
}

const PortDiscovery::Port *PortDialog::PortFor(int number) const {
    for (const PortDiscovery::Port &port : m_ports) {
        if (port.number == number) return &port;
    }
    return nullptr;
}

void PortDialog::ShowDevice() {
    const PortDiscovery::Port *port =
        m_list->currentIndex() < 0 ? nullptr : PortFor(EntryText::ToInt(m_list->currentText()));
    if (port == nullptr) {
        m_device->setText(m_ports.empty() ? "No serial port found. Plug in the controller's\n"
                                            "cable or USB adapter, then choose\n"
                                            "System > Communications to look again."
                                          : kChoosePort);
        return;
    }
    QStringList lines{QString::fromStdString(port->device)};
    const QString usb = QString::fromStdString(port->maker + " " + port->product).simplified();
    if (!usb.isEmpty()) lines << usb;
    if (port->offered) lines << QString("New adapter: OK names it COM%1.").arg(port->number);
    m_device->setText(lines.join('\n'));
}

void PortDialog::Ok() {
    if (m_list->currentIndex() < 0) {
        // Nothing chosen: the port stays as it was.
        System().SetShowPortDialog(m_startup->isChecked());
        done(Ids::Result::kOk);
        return;
    }
    const int number = EntryText::ToInt(m_list->currentText());
    const std::string name = "COM" + std::to_string(number);
    const PortDiscovery::Port *port = PortFor(number);
    const bool offered = port != nullptr && port->offered;
    // An offered adapter is tried under the name it is offered with.
    if (offered) m_devices.Set(number, port->device);

    bool opened = false;
    {
        ScopedWaitCursor wait;
        opened = System().TestOpen(name);
    }
    if (!opened) {
        if (offered) m_devices.Set(number, "");
        const QString current = QString::fromStdString(System().GetPortName());
        const QString stays = current.startsWith("COM")
                                  ? QString("so the port stays %1").arg(current)
                                  : QString("so no port is set yet");
        // A group the user is not in says more, and says what to do.
        const QString note = port == nullptr ? QString() : AccessNote(port->access, true);
        m_message->setText(QString("%1 could not be opened, %2.\n%3")
                               .arg(QString::fromStdString(name), stays,
                                    note.isEmpty() ? Reason(System().LinkProblem()) : note));
        return;
    }
    System().SetPortName(name);
    System().SetShowPortDialog(m_startup->isChecked());
    done(Ids::Result::kOk);
}
