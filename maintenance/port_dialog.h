#pragma once

#include <vector>

#include "controller_dialog.h"
#include "port_discovery.h"

class DeviceMap;
class QCheckBox;
class QComboBox;
class QLabel;

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
class PortDialog : public ControllerDialog {
    Q_OBJECT

public:
    static constexpr const char *kInformation = "<Connect> RS-232 Serial I/O - 8,N,1 @ 9600 baud";
    // Beneath the list while nothing is chosen, as on a first start.
    static constexpr const char *kChoosePort = "Choose the port of the controller's cable.";

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
    void ShowDevice();
    // The access note of the selected port, or of the first listed one with nothing selected.
    QString SelectedAccessNote() const;

    DeviceMap &m_devices;
    const PortDiscovery &m_discovery;
    std::vector<PortDiscovery::Port> m_ports;
    QComboBox *m_list;
    QLabel *m_device;
    QLabel *m_message;
    QCheckBox *m_startup;
};
