#include <QCheckBox>
#include <QToolButton>
#include <QtTest>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "command_code.h"
#include "date_time_dialog.h"
#include "dialog_test_kit.h"
#include "duty_cycle_dialog.h"
#include "on_off_timer_dialog.h"
#include "resource_ids.h"
#include "up_down_control.h"

namespace D = Ids::DutyCycle;
namespace O = Ids::OnOffTimer;
namespace C = Ids::DateTime;

namespace {

const QString kDutyCycleMessage = "Duty Cycle Out of Range!\nCheck your entries.";
const QString kOnHours = "On Time Hours out of range!\nPlease check your entries.";
const QString kOnMinutes = "On Time Minutes out of range!\nPlease check your entries.";
const QString kOffHours = "Off Time Hours out of range!\nPlease check your entries.";
const QString kOffMinutes = "Off Time Minutes out of range!\nPlease check your entries.";
const QString kHours = "Hours Out of Range.\nPlease Check Your Entries.";
const QString kMinutes = "Minutes Out of Range.\nPlease Check Your Entries.";
const QString kSeconds = "Seconds Out of Range.\nPlease Check Your Entries.";
const QString kDay = "Date:Day Out of Range";
const QString kMonth = "Date:Month Out of Range";
const QString kYear = "Date:Year Out of Range";

}  // namespace

// The duty cycle, sign on/off timer and date and time dialogs against the simulated
// controller: their opening reads, their arrows and their checks in order.
class TimerAndClockDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { m_site = std::make_unique<DialogSite>(); }
    void cleanup() { m_site.reset(); }

    void DutyCycleOpensOnLevelOne();
    void DutyCycleOfAnotherLevelReplacesTheEdit();
    void ArrowsStepTheEditsOwnNumber_data();
    void ArrowsStepTheEditsOwnNumber();
    void DutyCycleApplyChecksTheRange_data();
    void DutyCycleApplyChecksTheRange();

    void OnOffTimerOpensOnBothTimesAndTheSwitch();
    void OnOffApplyStopsAtTheFirstBadEntry_data();
    void OnOffApplyStopsAtTheFirstBadEntry();
    void UncheckedTimerSendsBothTimesThenSwitchOff();

    void DateTimeOpensOnTheControllersClock();
    void DateTimeApplyPartsAreIndependent_data();
    void DateTimeApplyPartsAreIndependent();
    void UsePcTimeFillsTheFieldsAndSendsNothingUntilApply();

    void EscapeWhileApplyIsBusyLeavesTheDialogOpen();

private:
    std::unique_ptr<DialogSite> m_site;
};

void TimerAndClockDialogsTest::DutyCycleOpensOnLevelOne() {
    m_site->State().dutyCycles = {12, 30, 50, 75, 100};
    DutyCycleDialog dialog(m_site->system);
    dialog.Initialise();
    QCOMPARE(m_site->Requests(), QStringList({"34", "23 1"}));
    QCOMPARE(Selected(&dialog, D::kLevelList), QString("1"));
    QCOMPARE(TextOf(&dialog, D::kDutyCycle), QString("12"));
}

void TimerAndClockDialogsTest::DutyCycleOfAnotherLevelReplacesTheEdit() {
    DutyCycleDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    m_site->ForgetRequests();
    Type(&dialog, D::kDutyCycle, "33");
    Choose(&dialog, D::kLevelList, "4");
    QCOMPARE(m_site->Requests(), QStringList({"23 4"}));
    QCOMPARE(TextOf(&dialog, D::kDutyCycle), QString("70"));

    // Apply sends the value on screen for the level on screen.
    Type(&dialog, D::kDutyCycle, "66");
    Click(&dialog, Ids::Result::kApply);
    QCOMPARE(m_site->Requests(), QStringList({"23 4", "22 4 66"}));
    QCOMPARE(m_site->State().dutyCycles[3], 66);
}

void TimerAndClockDialogsTest::ArrowsStepTheEditsOwnNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("press");
    QTest::addColumn<QString>("shown");
    QTest::newRow("down at 0") << "0"
                               << "down"
                               << "0";
    QTest::newRow("up at 100") << "100"
                               << "up"
                               << "100";
    QTest::newRow("up at 250") << "250"
                               << "up"
                               << "100";
    QTest::newRow("down at 250") << "250"
                                 << "down"
                                 << "100";
    QTest::newRow("up at 45%") << "45%"
                               << "up"
                               << "46";
    QTest::newRow("up on empty") << ""
                                 << "up"
                                 << "1";
    QTest::newRow("down at -7") << "-7"
                                << "down"
                                << "0";
    QTest::newRow("up past the largest int") << "99999999999"
                                             << "up"
                                             << "100";
    QTest::newRow("Up key at 99") << "99"
                                  << "Up key"
                                  << "100";
    QTest::newRow("Down key at 5") << " 5"
                                   << "Down key"
                                   << "4";
}

void TimerAndClockDialogsTest::ArrowsStepTheEditsOwnNumber() {
    QFETCH(QString, text);
    QFETCH(QString, press);
    QFETCH(QString, shown);
    DutyCycleDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    m_site->ForgetRequests();
    Type(&dialog, D::kDutyCycle, text);
    auto *spin = Child<UpDownControl>(&dialog, D::kSpin);
    if (press == "up")
        QTest::mouseClick(spin->UpButton(), Qt::LeftButton);
    else if (press == "down")
        QTest::mouseClick(spin->DownButton(), Qt::LeftButton);
    else
        QTest::keyClick(Child<QLineEdit>(&dialog, D::kDutyCycle),
                        press == "Up key" ? Qt::Key_Up : Qt::Key_Down);
    QCOMPARE(TextOf(&dialog, D::kDutyCycle), shown);
    QVERIFY(m_site->Requests().isEmpty());
}

void TimerAndClockDialogsTest::DutyCycleApplyChecksTheRange_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("empty is 0") << "" << QStringList{"22 1"} << QStringList{};
    QTest::newRow("0") << "0" << QStringList{"22 1"} << QStringList{};
    QTest::newRow("45%") << "45%" << QStringList{"22 1 45"} << QStringList{};
    QTest::newRow("100") << "100" << QStringList{"22 1 100"} << QStringList{};
    QTest::newRow("101") << "101" << QStringList{} << QStringList{kDutyCycleMessage};
    QTest::newRow("-1") << "-1" << QStringList{} << QStringList{kDutyCycleMessage};
}

void TimerAndClockDialogsTest::DutyCycleApplyChecksTheRange() {
    QFETCH(QString, text);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, messages);
    DutyCycleDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    m_site->ForgetRequests();
    Type(&dialog, D::kDutyCycle, text);
    Click(&dialog, Ids::Result::kOk);
    QCOMPARE(m_site->Requests(), sent);
    QCOMPARE(Messages(m_site->console), messages);
    QCOMPARE(dialog.result(), Ids::Result::kOk);
}

void TimerAndClockDialogsTest::OnOffTimerOpensOnBothTimesAndTheSwitch() {
    m_site->State().onOffTimes = {ControllerModel::ShortTime{11, 0, true},
                                  ControllerModel::ShortTime{5, 7, false}};
    m_site->State().onOffTimerEnabled = true;
    OnOffTimerDialog dialog(m_site->system);
    dialog.Initialise();
    QCOMPARE(m_site->Requests(), QStringList({"34", "19 1", "19", "21"}));
    const QStringList shown = {
        TextOf(&dialog, O::kOnHour),       TextOf(&dialog, O::kOnMinute),
        Selected(&dialog, O::kOnMeridian), TextOf(&dialog, O::kOffHour),
        TextOf(&dialog, O::kOffMinute),    Selected(&dialog, O::kOffMeridian)};
    QCOMPARE(shown, QStringList({"5", "07", "AM", "11", "00", "PM"}));
    QVERIFY(Child<QCheckBox>(&dialog, O::kEnable)->isChecked());
}

void TimerAndClockDialogsTest::OnOffApplyStopsAtTheFirstBadEntry_data() {
    QTest::addColumn<QStringList>("entries");  // on hour, minute, off hour, minute
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QStringList>("messages");
    // The switch is on; the off time is PM (hour byte + 0x80).
    QTest::newRow("all good") << QStringList{"6", "15", "10", "45"}
                              << QStringList{"18 1 6 15", "18 0 138 45", "20 1"} << QStringList{};
    QTest::newRow("empty minutes are 0")
        << QStringList{"6", "", "10", ""} << QStringList{"18 1 6", "18 0 138", "20 1"}
        << QStringList{};
    QTest::newRow("on hour 13") << QStringList{"13", "0", "10", "0"} << QStringList{}
                                << QStringList{kOnHours};
    QTest::newRow("on hour -1") << QStringList{"-1", "0", "10", "0"} << QStringList{}
                                << QStringList{kOnHours};
    QTest::newRow("on minute 60") << QStringList{"6", "60", "10", "0"} << QStringList{}
                                  << QStringList{kOnMinutes};
    QTest::newRow("off hour 13") << QStringList{"6", "0", "13", "0"} << QStringList{"18 1 6"}
                                 << QStringList{kOffHours};
    QTest::newRow("off hour -3") << QStringList{"6", "0", "-3", "0"} << QStringList{"18 1 6"}
                                 << QStringList{kOffHours};
    QTest::newRow("off minute 60")
        << QStringList{"6", "0", "10", "60"} << QStringList{"18 1 6"} << QStringList{kOffMinutes};
}

void TimerAndClockDialogsTest::OnOffApplyStopsAtTheFirstBadEntry() {
    QFETCH(QStringList, entries);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, messages);
    m_site->State().onOffTimerEnabled = true;
    OnOffTimerDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    m_site->ForgetRequests();
    Type(&dialog, O::kOnHour, entries[0]);
    Type(&dialog, O::kOnMinute, entries[1]);
    Type(&dialog, O::kOffHour, entries[2]);
    Type(&dialog, O::kOffMinute, entries[3]);
    Click(&dialog, Ids::Result::kApply);
    QCOMPARE(m_site->Requests(), sent);
    QCOMPARE(Messages(m_site->console), messages);
    QVERIFY(dialog.isVisible());
}

void TimerAndClockDialogsTest::UncheckedTimerSendsBothTimesThenSwitchOff() {
    m_site->State().onOffTimerEnabled = true;
    OnOffTimerDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    m_site->ForgetRequests();
    Click(&dialog, O::kEnable);
    // Changing the box alone sends nothing.
    QVERIFY(m_site->Requests().isEmpty());
    Click(&dialog, Ids::Result::kOk);
    QCOMPARE(m_site->Requests(), QStringList({"18 1 5 30", "18 0 139", "20"}));
    QVERIFY(!m_site->State().onOffTimerEnabled);
    QCOMPARE(dialog.result(), Ids::Result::kOk);
}

void TimerAndClockDialogsTest::DateTimeOpensOnTheControllersClock() {
    m_site->controller.Model().SetClock({2026, 3, 7, 15, 4, 9});
    m_site->State().daylightSaving = true;
    DateTimeDialog dialog(m_site->system);
    dialog.Initialise();
    QCOMPARE(m_site->Requests(), QStringList({"34", "9", "10", "7"}));
    QStringList shown;
    for (int id : {C::kMonth, C::kDay, C::kYear, C::kHour, C::kMinute, C::kSecond})
        shown << TextOf(&dialog, id);
    shown << Selected(&dialog, C::kMeridian);
    QCOMPARE(shown, QStringList({"03", "07", "2026", "3", "04", "09", "PM"}));
    QVERIFY(Child<QCheckBox>(&dialog, C::kDaylightSaving)->isChecked());
}

void TimerAndClockDialogsTest::DateTimeApplyPartsAreIndependent_data() {
    QTest::addColumn<QStringList>("time");  // hour, minute, second
    QTest::addColumn<QStringList>("date");  // month, day, year
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QStringList>("messages");
    // The meridian list stays on AM; daylight saving is off, so its request is "6".
    const QStringList goodTime = {"10", "20", "30"};
    const QStringList goodDate = {"6", "15", "2026"};
    QTest::newRow("all good") << goodTime << goodDate
                              << QStringList{"8 10 20 30", "11 6 15 26 20", "6"} << QStringList{};
    QTest::newRow("hour 0") << QStringList{"0", "20", "30"} << goodDate
                            << QStringList{"11 6 15 26 20", "6"} << QStringList{kHours};
    QTest::newRow("hour 13") << QStringList{"13", "20", "30"} << goodDate
                             << QStringList{"11 6 15 26 20", "6"} << QStringList{kHours};
    QTest::newRow("second 60") << QStringList{"10", "20", "60"} << goodDate
                               << QStringList{"11 6 15 26 20", "6"} << QStringList{kSeconds};
    QTest::newRow("minute 60 and second 60")
        << QStringList{"10", "60", "60"} << goodDate << QStringList{"11 6 15 26 20", "6"}
        << QStringList{kMinutes};
    // Days off the calendar are refused: the controller would roll them into another day.
    QTest::newRow("day 0") << goodTime << QStringList{"6", "0", "2026"}
                           << QStringList{"8 10 20 30", "6"} << QStringList{kDay};
    QTest::newRow("month 0") << goodTime << QStringList{"0", "15", "2026"}
                             << QStringList{"8 10 20 30", "6"} << QStringList{kMonth};
    QTest::newRow("February 29 of a leap year")
        << goodTime << QStringList{"2", "29", "2028"}
        << QStringList{"8 10 20 30", "11 2 29 28 20", "6"} << QStringList{};
    QTest::newRow("February 29 of 2026") << goodTime << QStringList{"2", "29", "2026"}
                                         << QStringList{"8 10 20 30", "6"} << QStringList{kDay};
    QTest::newRow("April 31") << goodTime << QStringList{"4", "31", "2026"}
                              << QStringList{"8 10 20 30", "6"} << QStringList{kDay};
    QTest::newRow("day 32") << goodTime << QStringList{"6", "32", "2026"}
                            << QStringList{"8 10 20 30", "6"} << QStringList{kDay};
    QTest::newRow("month 13") << goodTime << QStringList{"13", "15", "2026"}
                              << QStringList{"8 10 20 30", "6"} << QStringList{kMonth};
    QTest::newRow("February 31") << goodTime << QStringList{"2", "31", "2026"}
                                 << QStringList{"8 10 20 30", "6"} << QStringList{kDay};
    QTest::newRow("year 3") << goodTime << QStringList{"6", "15", "3"}
                            << QStringList{"8 10 20 30", "11 6 15 3", "6"} << QStringList{};
    QTest::newRow("year 9999") << goodTime << QStringList{"6", "15", "9999"}
                               << QStringList{"8 10 20 30", "11 6 15 99 99", "6"} << QStringList{};
    QTest::newRow("year 10000") << goodTime << QStringList{"6", "15", "10000"}
                                << QStringList{"8 10 20 30", "6"} << QStringList{kYear};
    QTest::newRow("year -1") << goodTime << QStringList{"6", "15", "-1"}
                             << QStringList{"8 10 20 30", "6"} << QStringList{kYear};
    QTest::newRow("time and date refused")
        << QStringList{"13", "20", "30"} << QStringList{"6", "32", "2026"} << QStringList{"6"}
        << QStringList{kHours, kDay};
}

void TimerAndClockDialogsTest::DateTimeApplyPartsAreIndependent() {
    QFETCH(QStringList, time);
    QFETCH(QStringList, date);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, messages);
    m_site->controller.Model().SetClock({2026, 1, 1, 1, 0, 0});
    DateTimeDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    m_site->ForgetRequests();
    Type(&dialog, C::kHour, time[0]);
    Type(&dialog, C::kMinute, time[1]);
    Type(&dialog, C::kSecond, time[2]);
    Type(&dialog, C::kMonth, date[0]);
    Type(&dialog, C::kDay, date[1]);
    Type(&dialog, C::kYear, date[2]);
    Click(&dialog, Ids::Result::kApply);
    QCOMPARE(m_site->Requests(), sent);
    QCOMPARE(Messages(m_site->console), messages);
}

// The PC's clock fills every field, the switch included, and only Apply sends them.
void TimerAndClockDialogsTest::UsePcTimeFillsTheFieldsAndSendsNothingUntilApply() {
    m_site->controller.Model().SetClock({2026, 1, 1, 1, 0, 0});
    m_site->State().daylightSaving = true;
    std::tm pc{};
    pc.tm_year = 2026 - 1900;
    pc.tm_mon = 11;
    pc.tm_mday = 7;
    pc.tm_hour = 19;
    pc.tm_min = 5;
    pc.tm_sec = 30;
    pc.tm_isdst = -1;
    const std::time_t at = std::mktime(&pc);
    DateTimeDialog dialog(m_site->system);
    dialog.SetPcClock([at] { return at; });
    dialog.Initialise();
    dialog.show();
    m_site->ForgetRequests();
    Click(&dialog, C::kUsePcTime);
    QStringList shown;
    for (int id : {C::kMonth, C::kDay, C::kYear, C::kHour, C::kMinute, C::kSecond})
        shown << TextOf(&dialog, id);
    shown << Selected(&dialog, C::kMeridian);
    QCOMPARE(shown, QStringList({"12", "07", "2026", "7", "05", "30", "PM"}));
    QCOMPARE(Child<QCheckBox>(&dialog, C::kDaylightSaving)->isChecked(), pc.tm_isdst > 0);
    QCOMPARE(m_site->Requests(), QStringList{});

    Click(&dialog, Ids::Result::kApply);
    QCOMPARE(m_site->Requests(),
             QStringList({"8 135 5 30", "11 12 7 26 20", pc.tm_isdst > 0 ? "6 1" : "6"}));
    QCOMPARE(Messages(m_site->console), QStringList{});
}

namespace {

// A person who presses Escape, and then Cancel, while the controller's message is up in the
// middle of an Apply.
struct ImpatientConsole : RecordingConsole {
    void ShowDetailedMessage(const std::string &text, const std::string &detail) override {
        RecordingConsole::ShowDetailedMessage(text, detail);
        if (impatience) impatience();
    }
    std::function<void()> impatience;
};

}  // namespace

// The dialog is busy until its Apply is over: Escape and Cancel meanwhile neither close it
// nor send anything, so the transaction in progress never loses its dialog.
void TimerAndClockDialogsTest::EscapeWhileApplyIsBusyLeavesTheDialogOpen() {
    BasicDialogSite<ImpatientConsole> site;
    DutyCycleDialog dialog(site.system);
    dialog.Initialise();
    dialog.show();
    site.controller.Faults().forcedStatus = ControllerStatus::kDutyCycleOutOfRange;
    site.controller.Faults().forcedStatusCount = 1;
    site.controller.Faults().forcedStatusCommand = ToByte(CommandCode::SetDutyCycle);
    bool busyWhenPressed = false;
    site.console.impatience = [&] {
        busyWhenPressed = dialog.Busy();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        Click(&dialog, Ids::Result::kCancel);
    };
    site.controller.ClearRequests();
    Type(&dialog, D::kDutyCycle, "45");
    Click(&dialog, Ids::Result::kApply);
    QVERIFY(busyWhenPressed);
    QCOMPARE(Messages(site.console), QStringList{"Central Controller: Duty Cycle Out of Range"});
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
    QCOMPARE(site.Requests(), QStringList{"22 1 45"});
    // Idle again, Escape closes it as ever.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(dialog.result(), Ids::Result::kCancel);
}

QTEST_MAIN(TimerAndClockDialogsTest)
#include "widget_timer_and_clock_dialogs_test.moc"
