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
class PortDialog : public ControllerDialog {
    Q_OBJECT

public:
    static constexpr const char *kInformation = "<Connect> RS-232 Serial I/O - 8,N,1 @ 9600 baud";

    PortDialog(SignSystem &system, DeviceMap &devices, const PortDiscovery &discovery,
               QWidget *parent = nullptr);

    const std::vector<PortDiscovery::Port> &Ports() const { return m_ports; }

protected:
    void Read() override;
    void Ok() override;

private:
    const PortDiscovery::Port *PortFor(int number) const;
    void ShowDevice();

    DeviceMap &m_devices;
    const PortDiscovery &m_discovery;
    std::vector<PortDiscovery::Port> m_ports;
    QComboBox *m_list;
    QLabel *m_device;
    QLabel *m_message;
    QCheckBox *m_startup;
};
