#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "operator_console.h"

// The workstation's console: message boxes captioned with the program's name, owned by
// the main window.
class QtConsole : public OperatorConsole {
public:
    void SetOwner(QWidget *owner) { m_owner = owner; }
    // What ends the program (the main window's orderly close) and what runs the NVRAM load.
    void SetEndHandler(std::function<void()> handler) { m_endHandler = std::move(handler); }
    void SetNvramLoadHandler(std::function<bool()> handler) {
        m_nvramLoadHandler = std::move(handler);
    }
    // Called every few tens of milliseconds while Wait() waits, so that the windows stay
    // drawn through the pauses of the start and the end.
    void SetKeepAlive(std::function<void()> hook) { m_keepAlive = std::move(hook); }

    void ShowMessage(const std::string &text) override;
    // The details sit behind the box's "Show Details..." button.
    void ShowDetailedMessage(const std::string &text, const std::string &details) override;
    bool AskYesNo(const std::string &text) override;
    void Wait(std::chrono::milliseconds duration) override;
    bool RunNvramLoad() override;
    void RequestEnd() override;

private:
    // Where a box is centred: the owner once it is on screen; before that (at start-up)
    // the owner's window that is, such as the splash, so that the box is not left in a
    // corner of the screen.
    QWidget *BoxParent() const;

    QPointer<QWidget> m_owner;
    std::function<void()> m_endHandler;
    std::function<bool()> m_nvramLoadHandler;
    std::function<void()> m_keepAlive;
};
