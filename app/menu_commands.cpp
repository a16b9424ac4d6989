#include "menu_commands.h"

#include <QAction>
#include <QDialog>

#include "change_password_dialog.h"
#include "date_time_dialog.h"
#include "duty_cycle_dialog.h"
#include "exit_question.h"
#include "fail_log_dialog.h"
#include "intensity_mode_dialog.h"
#include "menu_host.h"
#include "on_off_timer_dialog.h"
#include "operator_console.h"
#include "password_dialog.h"
#include "port_dialog.h"
#include "price_history_dialog.h"
#include "reset_log_dialog.h"
#include "resource_ids.h"
#include "sign_system.h"
#include "sign_test.h"
#include "tags_dialog.h"

const std::map<int, MenuCommands::Command> &MenuCommands::Commands() {
    namespace M = Ids::Menu;
    constexpr Guard kGuarded = Guard::PasswordUnlessSupervisor;
    static const std::map<int, Command> commands = {
        {M::kLoadNvramImage, {kGuarded, &MenuCommands::LoadNvramImage}},
        {M::kSaveNvramImage, {kGuarded, &MenuCommands::SaveNvramImage}},
        // The log shows what was done, not how the signs are set up: open to everyone.
        {M::kPriceHistory, {Guard::None, &MenuCommands::PriceHistory}},
        {M::kExit, {Guard::None, &MenuCommands::Exit}},
        {M::kIntensityMode, {kGuarded, &MenuCommands::IntensityMode}},
        {M::kDutyCycle, {kGuarded, &MenuCommands::DutyCycle}},
        {M::kSignOnOffTime, {kGuarded, &MenuCommands::OnOffTime}},
        {M::kPerformTest, {kGuarded, &MenuCommands::PerformTest}},
        {M::kViewResetLog, {kGuarded, &MenuCommands::ViewResetLog}},
        {M::kViewFailLog, {kGuarded, &MenuCommands::ViewFailLog}},
        {M::kTags, {kGuarded, &MenuCommands::Tags}},
        {M::kDateAndTime, {kGuarded, &MenuCommands::DateAndTime}},
        // Asks for the password itself, also in supervisor mode.
        {M::kPassword, {Guard::None, &MenuCommands::Password}},
        {M::kCommunications, {kGuarded, &MenuCommands::Communications}},
        // Asks for the password to switch on, not to switch off.
        {M::kSupervisorMode, {Guard::None, &MenuCommands::SupervisorModeSwitch}},
        {M::kManual, {Guard::None, &MenuCommands::Manual}},
        {M::kAbout, {Guard::None, &MenuCommands::About}},
    };
    return commands;
}

MenuCommands::MenuCommands(MenuHost &host, const std::map<int, QAction *> &actions, QObject *parent)
    : QObject(parent), m_host(host), m_actions(actions) {}

void MenuCommands::Run(int commandId) {
    const auto found = Commands().find(commandId);
    if (found == Commands().end() || m_host.System() == nullptr) {
        return;
    }
    const Command &command = found->second;
    if (command.guard == Guard::PasswordUnlessSupervisor && !m_supervisor && !PasswordGiven()) {
        return;
    }
    m_runHandler(commandId, [this, handler = command.handler] { (this->*handler)(); });
}

int MenuCommands::RunModal(QDialog &dialog) {
    return m_runModal(dialog);
}

void MenuCommands::ResetSupervisorMode() {
    SetSupervisorMode(false);
}

void MenuCommands::SetSupervisorMode(bool on) {
    m_supervisor = on;
    if (QAction *item = m_actions.at(Ids::Menu::kSupervisorMode)) {
        item->setChecked(on);
    }
}

bool MenuCommands::PasswordGiven() {
    PasswordDialog dialog(*m_host.System(), m_host.DialogParent());
    return RunModal(dialog) == Ids::Result::kOk;
}

bool MenuCommands::RunNvramLoad() {
    return NvramImageCommands(*m_host.System(), m_host.DialogParent(), m_chooseFile)
        .LoadNvramImage();
}

void MenuCommands::LoadNvramImage() {
    RunNvramLoad();
}

void MenuCommands::SaveNvramImage() {
    NvramImageCommands(*m_host.System(), m_host.DialogParent(), m_chooseFile).SaveNvramImage();
}

void MenuCommands::PriceHistory() {
    PriceHistoryDialog dialog(*m_host.PriceLogInUse(), m_host.System()->Console(),
                              m_host.DialogParent(), m_host.EventLogInUse());
    if (m_chooseExport) dialog.SetExportChooser(m_chooseExport);
    RunModal(dialog);
}

void MenuCommands::Exit() {
    if (m_host.System()->Console().AskYesNo(ExitQuestion::Text(m_host.UnsentLines()))) {
        m_host.RequestEnd();
    }
}

void MenuCommands::IntensityMode() {
    IntensityModeDialog dialog(*m_host.System(), m_host.DialogParent());
    // The mode dialogs that Next opens run the same way as the wizard.
    dialog.SetModalRunner([this](QDialog &modeDialog) { return RunModal(modeDialog); });
    RunModal(dialog);
}

void MenuCommands::DutyCycle() {
    DutyCycleDialog dialog(*m_host.System(), m_host.DialogParent());
    RunModal(dialog);
}

void MenuCommands::OnOffTime() {
    OnOffTimerDialog dialog(*m_host.System(), m_host.DialogParent());
    RunModal(dialog);
}

void MenuCommands::PerformTest() {
    SignTest(*m_host.System()).PerformSignTest();
}

void MenuCommands::ViewResetLog() {
    ResetLogDialog dialog(*m_host.System(), m_host.DialogParent());
    RunModal(dialog);
}

void MenuCommands::ViewFailLog() {
    FailLogDialog dialog(*m_host.System(), m_host.DialogParent());
    RunModal(dialog);
}

void MenuCommands::Tags() {
    TagsDialog dialog(*m_host.System(), m_host.DialogParent());
    RunModal(dialog);
}

void MenuCommands::DateAndTime() {
    DateTimeDialog dialog(*m_host.System(), m_host.DialogParent());
    RunModal(dialog);
}

void MenuCommands::Password() {
    if (!PasswordGiven()) return;
    ChangePasswordDialog dialog(*m_host.System(), m_host.DialogParent());
    RunModal(dialog);
}

void MenuCommands::RunPortDialog() {
    PortDialog dialog(*m_host.System(), m_host.Devices(), m_portDiscovery, m_host.DialogParent());
    RunModal(dialog);
}

void MenuCommands::Communications() {
    RunPortDialog();
}

void MenuCommands::SupervisorModeSwitch() {
    OperatorConsole &console = m_host.System()->Console();
    // Qt flips a checkable item as it is chosen; the mark follows the flag alone.
    SetSupervisorMode(m_supervisor);
    if (m_supervisor) {
        SetSupervisorMode(false);
        m_host.System()->RecordChange("supervisor mode off", std::nullopt, "off", "done");
        console.ShowMessage("Supervisor Logged Out.");
        return;
    }
    if (!PasswordGiven()) {
        return;
    }
    m_supervisor = true;
    m_host.System()->RecordChange("supervisor mode on", std::nullopt, "on", "done");
    console.ShowMessage("Supervisor Logged In.");
    SetSupervisorMode(true);
}

void MenuCommands::Manual() {
    m_host.ShowManual();
}

void MenuCommands::About() {
    m_host.ShowAbout();
}
