#pragma once

#include <vector>

#include "controller_dialog.h"
#include "port_discovery.h"

class DeviceMap;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// System > Communications, and at start-up when the settings ask for it: the serial port
// from the ports this machine has, and whether this dialog opens at every start.
//
// OK tries the chosen port (opens and closes it at once) and takes it only when it opened.
// When it did not, the dialog stays open and says why beneath the list, so the user can
// choose another port or keep the old one with Escape; the port name never changes to a
// port that cannot be opened. Choosing a USB adapter that no name maps yet gives it that
// name in the [Devices] map, which the settings file keeps.
//
// When the user may not open the selected port because of a group (dialout, usually), the
// dialog says so beneath the list with the command that adds the user to it; with nothing
// selected, it says so for the first port listed that needs it.
//
// A port the list does not show (a device the discovery does not know, a pseudo-terminal)
// can be typed as a device path; OK gives it the first port name free of both the list and
// the [Devices] map, and keeps that mapping only when the device opened. Refresh looks for
// the ports again, for an adapter plugged in while the dialog is open. OK with nothing
// chosen and nothing typed does not close the dialog: the port is never left a name that
// opens nothing.
class PortDialog : public ControllerDialog {
    Q_OBJECT

public:
    static constexpr const char *kInformation = "<Connect> RS-232 Serial I/O - 8,N,1 @ 9600 baud";
    // Beneath the list while nothing is chosen, as on a first start.
    static constexpr const char *kChoosePort =
        "Choose the port of the controller's cable, or type its device below.";
    // Beneath the list when the machine has no serial port at all.
    static constexpr const char *kNoPortFound =
        "No serial port was found on this PC. Plug in the controller's cable or USB adapter "
        "and press Refresh.";
    // Beneath the list after OK with nothing chosen.
    static constexpr const char *kNothingChosen =
        "No port is chosen yet. Choose one from the list, or type the device of the "
        "controller's cable under Device, then press OK.";

    // What the user must do to open a port of that access need; empty when nothing.
    static QString AccessNote(const DeviceAccess::Need &need, bool selected);

    PortDialog(SignSystem &system, DeviceMap &devices, const PortDiscovery &discovery,
               QWidget *parent = nullptr);

    const std::vector<PortDiscovery::Port> &Ports() const { return m_ports; }

protected:
    void Read() override;
    void Ok() override;

private:
    const PortDiscovery::Port *PortFor(int number) const;
    // The listed port whose device is path; none when the list has no such port.
    const PortDiscovery::Port *PortWithDevice(const std::string &path) const;
    // The first port number that neither the list nor the [Devices] map uses; 0 if none.
    int FreeNumber() const;
    // Fills the list from the discovery, keeping the selection where it is still listed.
    void ListPorts(const QString &keep);
    void ShowDevice();
    // OK with a device path typed: tried under a port name of its own.
    void TakeTypedDevice(const std::string &path);
    // Tries the port name; takes it and closes when it opened, else says why and stays.
    void TryPort(int number, bool newMapping, const std::string &device);
    // The access note of the selected port, or of the first listed one with nothing selected.
    QString SelectedAccessNote() const;

    DeviceMap &m_devices;
    const PortDiscovery &m_discovery;
    std::vector<PortDiscovery::Port> m_ports;
    QComboBox *m_list;
    QLineEdit *m_devicePath;
    QLabel *m_device;
    QLabel *m_message;
    QCheckBox *m_startup;
};
