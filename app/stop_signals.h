#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Turns the signals that ask a program to stop (SIGTERM from a shutdown or a log-out,
// SIGHUP when its terminal goes, SIGINT from Ctrl+C) into an orderly end on the event
// loop: the workstation then closes its dialogs without sending anything and saves its
// settings, as when the user closes it, instead of dying with the session's changes.
class StopSignals : public QObject {
public:
    // stop runs on the event loop, once per signal received.
    explicit StopSignals(std::function<void()> stop, QObject *parent = nullptr);
    ~StopSignals() override;

    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // Whether a stop signal arrived. Safe anywhere, also in the middle of a transaction,
    // which the event loop does not interrupt: a wait for the line or for a reply then
    // ends early.
    static bool Arrived();

private:
    std::function<void()> m_stop;
    QSocketNotifier *m_notifier = nullptr;
};
