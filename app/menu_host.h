#pragma once

#include <vector>

class DeviceMap;
class EventLogFile;
class PriceLogFile;
class QWidget;
class SignSystem;

// What the menu's commands need from the window that carries the menu: the sign system and
// what lives beside it, the window's own About and manual, its end, and a parent for the
// dialogs the commands open. The main window implements it.
class MenuHost {
public:
    virtual ~MenuHost() = default;

    // None before the window's initialisation and after its end; the commands then do
    // nothing.
    virtual SignSystem *System() const = 0;
    // Which device each port name means; the port dialog adds to it.
    virtual DeviceMap &Devices() = 0;
    // The price log, for the price history.
    virtual PriceLogFile *PriceLogInUse() const = 0;
    // The event log, for the history; none where no supervisor change is logged.
    virtual EventLogFile *EventLogInUse() const { return nullptr; }
    virtual void ShowAbout() = 0;
    virtual void ShowManual() = 0;
    // Ends the program once the command that asked for it has returned.
    virtual void RequestEnd() = 0;
    // The price lines edited and not sent, which "Exit VOXA?" names.
    virtual std::vector<int> UnsentLines() const = 0;
    virtual QWidget *DialogParent() = 0;
};
