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

    void ShowMessage(const std::string &text) override;
    bool AskYesNo(const std::string &text) override;
    void Wait(std::chrono::milliseconds duration) override;
    bool RunNvramLoad() override;
    void RequestEnd() override;

private:
    QPointer<QWidget> m_owner;
    std::function<void()> m_endHandler;
    std::function<bool()> m_nvramLoadHandler;
};
