#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QtTest>
#include <functional>
#include <memory>

#include "date_time_dialog.h"
#include "dialog_test_kit.h"
#include "duty_cycle_dialog.h"
#include "intensity_mode_dialog.h"
#include "light_sensor_dialog.h"
#include "manual_intensity_dialog.h"
#include "on_off_timer_dialog.h"
#include "resource_ids.h"
#include "time_of_day_dialog.h"

namespace {

using DialogMaker = std::function<std::unique_ptr<ControllerDialog>(SignSystem &)>;

template <typename D>
DialogMaker Maker() {
    return [](SignSystem &system) { return std::make_unique<D>(system); };
}

// The controller's fault for one row: a status for every reply to one command, or silence.
struct Fault {
    int command = 0;  // 0: the controller does not answer at all
    int status = 0;
};

void Apply(FaultPlan &faults, const Fault &fault) {
    if (fault.command == 0) {
        faults.silent = true;
        return;
    }
    faults.forcedStatus = static_cast<std::uint8_t>(fault.status);
    faults.forcedStatusCount = -1;
    faults.forcedStatusCommand = static_cast<std::uint8_t>(fault.command);
}

void Heal(FaultPlan &faults) {
    faults = FaultPlan{};
}

// What a field shows, whatever its kind; "unknown" for a check box neither on nor off.
QString Shown(QWidget *field) {
    if (auto *edit = qobject_cast<QLineEdit *>(field)) return edit->text();
    if (auto *list = qobject_cast<QComboBox *>(field))
        return list->currentIndex() < 0 ? "(none)" : list->currentText();
    if (auto *box = qobject_cast<QCheckBox *>(field)) {
        return box->checkState() == Qt::PartiallyChecked ? "unknown"
               : box->isChecked()                        ? "on"
                                                         : "off";
    }
    if (auto *radio = qobject_cast<QRadioButton *>(field)) return radio->isChecked() ? "on" : "off";
    return "?";
}

// What an unread field of that kind shows.
QString Nothing(QWidget *field) {
    if (qobject_cast<QComboBox *>(field)) return "(none)";
    if (qobject_cast<QCheckBox *>(field)) return "unknown";
    if (qobject_cast<QRadioButton *>(field)) return "off";
    return "";
}

QStringList ShownFields(QWidget *dialog, const QList<int> &ids) {
    QStringList shown;
    for (int id : ids) shown << IdName(id) + "=" + Shown(Child<QWidget>(dialog, id));
    return shown;
}

const QString kNoAnswer = "The Central Controller did not answer.";

}  // namespace

Q_DECLARE_METATYPE(DialogMaker)
Q_DECLARE_METATYPE(Fault)

// Every configuration dialog against a controller that refuses one of its reads, or does not
// answer at all: what was not read shows nothing and is named in the notice line, OK sends
// only what was read (exactly these frames), and opening the dialog again on a controller
// that answers shows every value.
class UnreadValuesTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_site.reset(); }

    void UnreadIsNeitherShownNorSent_data();
    void UnreadIsNeitherShownNorSent();
    void WhatTheUserFillsInIsSent_data();
    void WhatTheUserFillsInIsSent();
    void PartlyFilledTimeIsRefusedWhole_data();
    void PartlyFilledTimeIsRefusedWhole();
    void AnotherLevelReadsAgain();
    void WizardShowsNoModeItDidNotReadAndReadsAgainForAnotherFace();

private:
    std::unique_ptr<DialogSite> m_site;
};

void UnreadValuesTest::init() {
    m_site = std::make_unique<DialogSite>();
    ControllerModel::State &s = m_site->State();
    s.faces[2] = {1, 3, {2, 4}};
    s.faces[6] = {2, 5, {4, 2}};
    s.switchTimes = {ControllerModel::ShortTime{11, 45, true},
                     ControllerModel::ShortTime{7, 5, false}};
    s.dutyCycles = {12, 25, 60, 80, 99};
    s.onOffTimes = {ControllerModel::ShortTime{10, 30, true},
                    ControllerModel::ShortTime{6, 15, false}};
    s.onOffTimerEnabled = true;
    s.daylightSaving = true;
    m_site->controller.Model().SetClock({2031, 2, 3, 23, 9, 8});
}

void UnreadValuesTest::UnreadIsNeitherShownNorSent_data() {
    namespace D = Ids::DutyCycle;
    namespace M = Ids::ManualIntensity;
    namespace L = Ids::LightSensor;
    namespace T = Ids::TimeOfDay;
    namespace O = Ids::OnOffTimer;
    namespace C = Ids::DateTime;
    const QList<int> dutyCycle{D::kDutyCycle};
    const QList<int> manual{M::kLevelList};
    const QList<int> lightSensor{L::kDayLevelList, L::kNightLevelList};
    const QList<int> firstTime{T::kFirstHour, T::kFirstMinute, T::kFirstMeridian};
    const QList<int> secondTime{T::kSecondHour, T::kSecondMinute, T::kSecondMeridian};
    const QList<int> timeOfDay =
        QList<int>{T::kFirstLevelList, T::kSecondLevelList} + firstTime + secondTime;
    const QList<int> onOffTimes{O::kOnHour,  O::kOnMinute,  O::kOnMeridian,
                                O::kOffHour, O::kOffMinute, O::kOffMeridian};
    const QList<int> onOff = onOffTimes + QList<int>{O::kEnable};
    const QList<int> time{C::kHour, C::kMinute, C::kSecond, C::kMeridian};
    const QList<int> date{C::kMonth, C::kDay, C::kYear};
    const QList<int> dateTime = time + date + QList<int>{C::kDaylightSaving};

    QTest::addColumn<DialogMaker>("make");
    QTest::addColumn<int>("face");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QList<int>>("fields");
    QTest::addColumn<QList<int>>("unread");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QStringList>("sentOnOk");

    QTest::newRow("duty cycle refused")
        << Maker<DutyCycleDialog>() << 0 << Fault{23, 18} << dutyCycle << dutyCycle
        << "Not read: duty cycle of level 1. The Central Controller refused it (Duty Cycle "
           "Out of Range)."
        << QStringList{};
    QTest::newRow("duty cycle silent")
        << Maker<DutyCycleDialog>() << 0 << Fault{} << dutyCycle << dutyCycle
        << "Not read: duty cycle of level 1. " + kNoAnswer << QStringList{};
    QTest::newRow("manual refused")
        << Maker<ManualIntensityDialog>() << 2 << Fault{29, 13} << manual << manual
        << "Not read: level of face 2. The Central Controller refused it (Invalid Face "
           "Number)."
        << QStringList{};
    QTest::newRow("manual silent")
        << Maker<ManualIntensityDialog>() << 2 << Fault{} << manual << manual
        << "Not read: level of face 2. " + kNoAnswer << QStringList{};
    QTest::newRow("light sensor refused")
        << Maker<LightSensorDialog>() << 2 << Fault{27, 21} << lightSensor << lightSensor
        << "Not read: day level and night level. The Central Controller refused it (Intensity "
           "Mode Error)."
        << QStringList{};
    QTest::newRow("light sensor silent")
        << Maker<LightSensorDialog>() << 2 << Fault{} << lightSensor << lightSensor
        << "Not read: day level and night level. " + kNoAnswer << QStringList{};
    // The switch times refused: the levels were read and go back with the mode, the times
    // do not.
    QTest::newRow("time of day, times refused")
        << Maker<TimeOfDayDialog>() << 6 << Fault{25, 20} << timeOfDay << firstTime + secondTime
        << "Not read: first time and second time. The Central Controller refused it "
           "(Intensity Mode Error)."
        << QStringList{"26 6 1 2", "26 6 0 4", "31 6 2"};
    QTest::newRow("time of day silent")
        << Maker<TimeOfDayDialog>() << 6 << Fault{} << timeOfDay << timeOfDay
        << "Not read: first level, first time, second level and second time. " + kNoAnswer
        << QStringList{};
    QTest::newRow("on/off times refused")
        << Maker<OnOffTimerDialog>() << 0 << Fault{19, 23} << onOff << onOffTimes
        << "Not read: sign on time and sign off time. The Central Controller refused it "
           "(status 23)."
        << QStringList{"20 1"};
    QTest::newRow("on/off switch refused")
        << Maker<OnOffTimerDialog>() << 0 << Fault{21, 11} << onOff << QList<int>{O::kEnable}
        << "Not read: timer switch. The Central Controller refused it (Central Controller "
           "Glitch!)."
        << QStringList{"18 1 6 15", "18 0 138 30"};
    QTest::newRow("on/off silent")
        << Maker<OnOffTimerDialog>() << 0 << Fault{} << onOff << onOff
        << "Not read: sign on time, sign off time and timer switch. " + kNoAnswer << QStringList{};
    QTest::newRow("time refused")
        << Maker<DateTimeDialog>() << 0 << Fault{9, 23} << dateTime << time
        << "Not read: time. The Central Controller refused it (status 23)."
        << QStringList{"11 2 3 31 20", "6 1"};
    QTest::newRow("daylight saving refused")
        << Maker<DateTimeDialog>() << 0 << Fault{7, 23} << dateTime
        << QList<int>{C::kDaylightSaving}
        << "Not read: daylight saving. The Central Controller refused it (status 23)."
        << QStringList{"8 139 9 8", "11 2 3 31 20"};
    QTest::newRow("date and time silent")
        << Maker<DateTimeDialog>() << 0 << Fault{} << dateTime << dateTime
        << "Not read: time, date and daylight saving. " + kNoAnswer << QStringList{};
}

void UnreadValuesTest::UnreadIsNeitherShownNorSent() {
    QFETCH(DialogMaker, make);
    QFETCH(int, face);
    QFETCH(Fault, fault);
    QFETCH(QList<int>, fields);
    QFETCH(QList<int>, unread);
    QFETCH(QString, notice);
    QFETCH(QStringList, sentOnOk);
    m_site->system.SetCurrentFace(face);

    // A first look on a healthy line leaves every value in the sign system, where a failed
    // read would find it again.
    QStringList read;
    {
        const std::unique_ptr<ControllerDialog> healthy = make(m_site->system);
        healthy->Initialise();
        read = ShownFields(healthy.get(), fields);
        QCOMPARE(healthy->NotReadNotice(), QString());
    }

    Apply(m_site->controller.Faults(), fault);
    const std::unique_ptr<ControllerDialog> dialog = make(m_site->system);
    dialog->Initialise();
    dialog->show();
    QStringList expected;
    for (int i = 0; i < fields.size(); ++i) {
        expected << (unread.contains(fields[i])
                         ? IdName(fields[i]) + "=" +
                               Nothing(Child<QWidget>(dialog.get(), fields[i]))
                         : read[i]);
    }
    QCOMPARE(ShownFields(dialog.get(), fields), expected);
    QCOMPARE(dialog->NotReadNotice(), notice);
    QVERIFY(Child<QLabel>(dialog.get(), Ids::Frame::kNotReadNotice)->isVisible());

    // The controller answers again by the time OK is pressed: what was not read must not
    // go out now.
    Heal(m_site->controller.Faults());
    m_site->ForgetRequests();
    Click(dialog.get(), Ids::Result::kOk);
    QCOMPARE(dialog->result(), Ids::Result::kOk);
    QCOMPARE(m_site->Requests(), sentOnOk);
    QVERIFY(m_site->console.messages.empty());

    const std::unique_ptr<ControllerDialog> again = make(m_site->system);
    again->Initialise();
    QCOMPARE(ShownFields(again.get(), fields), read);
    QCOMPARE(again->NotReadNotice(), QString());
}

void UnreadValuesTest::WhatTheUserFillsInIsSent_data() {
    QTest::addColumn<DialogMaker>("make");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<std::function<void(QWidget *)>>("fill");
    QTest::addColumn<QStringList>("sentOnOk");
    QTest::newRow("duty cycle typed") << Maker<DutyCycleDialog>() << Fault{23, 18}
                                      << std::function<void(QWidget *)>([](QWidget *d) {
                                             Type(d, Ids::DutyCycle::kDutyCycle, "40");
                                         })
                                      << QStringList{"22 1 40"};
    QTest::newRow("duty cycle stepped from nothing")
        << Maker<DutyCycleDialog>() << Fault{23, 18}
        << std::function<void(QWidget *)>([](QWidget *d) {
               QTest::keyClick(Child<QLineEdit>(d, Ids::DutyCycle::kDutyCycle), Qt::Key_Up);
           })
        << QStringList{"22 1 1"};
    QTest::newRow("night level chosen") << Maker<LightSensorDialog>() << Fault{27, 21}
                                        << std::function<void(QWidget *)>([](QWidget *d) {
                                               Choose(d, Ids::LightSensor::kNightLevelList, "3");
                                           })
                                        << QStringList{"26 2 0 3", "31 2 3"};
    QTest::newRow("timer switch clicked on")
        << Maker<OnOffTimerDialog>() << Fault{0, 0}
        << std::function<void(QWidget *)>([](QWidget *d) { Click(d, Ids::OnOffTimer::kEnable); })
        << QStringList{"20 1"};
    QTest::newRow("date typed") << Maker<DateTimeDialog>() << Fault{0, 0}
                                << std::function<void(QWidget *)>([](QWidget *d) {
                                       Type(d, Ids::DateTime::kMonth, "7");
                                       Type(d, Ids::DateTime::kDay, "4");
                                       Type(d, Ids::DateTime::kYear, "2030");
                                   })
                                << QStringList{"11 7 4 30 20"};
}

void UnreadValuesTest::WhatTheUserFillsInIsSent() {
    QFETCH(DialogMaker, make);
    QFETCH(Fault, fault);
    QFETCH(std::function<void(QWidget *)>, fill);
    QFETCH(QStringList, sentOnOk);
    m_site->system.SetCurrentFace(2);
    Apply(m_site->controller.Faults(), fault);
    const std::unique_ptr<ControllerDialog> dialog = make(m_site->system);
    dialog->Initialise();
    dialog->show();
    fill(dialog.get());
    Heal(m_site->controller.Faults());
    m_site->ForgetRequests();
    Click(dialog.get(), Ids::Result::kOk);
    QCOMPARE(m_site->Requests(), sentOnOk);
    QVERIFY(m_site->console.messages.empty());
}

void UnreadValuesTest::PartlyFilledTimeIsRefusedWhole_data() {
    QTest::addColumn<DialogMaker>("make");
    QTest::addColumn<int>("timeRead");
    QTest::addColumn<int>("hour");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("sentOnApply");
    QTest::newRow("on/off timer: stops there")
        << Maker<OnOffTimerDialog>() << 19 << int(Ids::OnOffTimer::kOnHour)
        << "Sign on time not sent: it was not read, and some of its boxes are still "
           "empty.\nFill in all of them, then press Apply."
        << QStringList{};
    // The three parts are independent: the date and the switch still go out.
    QTest::newRow("date and time: the other parts go on")
        << Maker<DateTimeDialog>() << 9 << int(Ids::DateTime::kHour)
        << "Time not sent: it was not read, and some of its boxes are still empty.\nFill in "
           "all of them, then press Apply."
        << QStringList{"11 2 3 31 20", "6 1"};
    QTest::newRow("time of day: the level before it went")
        << Maker<TimeOfDayDialog>() << 25 << int(Ids::TimeOfDay::kFirstHour)
        << "First time not sent: it was not read, and some of its boxes are still empty.\n"
           "Fill in all of them, then press Apply."
        << QStringList{"26 2 1 4"};
}

void UnreadValuesTest::PartlyFilledTimeIsRefusedWhole() {
    QFETCH(DialogMaker, make);
    QFETCH(int, timeRead);
    QFETCH(int, hour);
    QFETCH(QString, message);
    QFETCH(QStringList, sentOnApply);
    m_site->system.SetCurrentFace(2);
    Apply(m_site->controller.Faults(), Fault{timeRead, 23});
    const std::unique_ptr<ControllerDialog> dialog = make(m_site->system);
    dialog->Initialise();
    dialog->show();
    // Only the hour: the minutes and AM or PM stay empty, and 0 and AM must not be made up.
    Type(dialog.get(), hour, "9");
    Heal(m_site->controller.Faults());
    m_site->ForgetRequests();
    Click(dialog.get(), Ids::Result::kApply);
    QCOMPARE(Messages(m_site->console), QStringList{message});
    QCOMPARE(m_site->Requests(), sentOnApply);
    QVERIFY(dialog->isVisible());
}

void UnreadValuesTest::AnotherLevelReadsAgain() {
    // Level 2 is read first, so its 25 is what the sign system holds when level 1 fails.
    m_site->system.GetDutyCycle(2);
    FaultPlan &faults = m_site->controller.Faults();
    faults.forcedStatus = 18;
    faults.forcedStatusCount = 1;
    faults.forcedStatusCommand = 23;
    DutyCycleDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    QCOMPARE(TextOf(&dialog, Ids::DutyCycle::kDutyCycle), QString());
    QVERIFY(!dialog.NotReadNotice().isEmpty());

    Choose(&dialog, Ids::DutyCycle::kLevelList, "3");
    QCOMPARE(TextOf(&dialog, Ids::DutyCycle::kDutyCycle), QString("60"));
    QCOMPARE(dialog.NotReadNotice(), QString());
    Choose(&dialog, Ids::DutyCycle::kLevelList, "1");
    QCOMPARE(TextOf(&dialog, Ids::DutyCycle::kDutyCycle), QString("12"));
}

void UnreadValuesTest::WizardShowsNoModeItDidNotReadAndReadsAgainForAnotherFace() {
    namespace I = Ids::IntensityMode;
    m_site->SetLines(2, {0x04, 0x40});
    // Face 6 (time of day) is asked first and answers; face 2's mode is then refused once.
    m_site->system.GetIntensityMode(6);
    FaultPlan &faults = m_site->controller.Faults();
    faults.forcedStatus = 13;
    faults.forcedStatusCount = 1;
    faults.forcedStatusCommand = 30;
    IntensityModeDialog wizard(m_site->system);
    QStringList ran;
    wizard.SetModalRunner([&](QDialog &modeDialog) {
        ran << modeDialog.objectName();
        return Ids::Result::kCancel;
    });
    wizard.Initialise();
    wizard.show();
    const QList<int> modes{I::kManual, I::kLightSensor, I::kTimeOfDay};
    QCOMPARE(ShownFields(&wizard, modes), QStringList({"1036=off", "1037=off", "1038=off"}));
    QCOMPARE(wizard.NotReadNotice(),
             QString("Not read: mode of face 2. The Central Controller refused it (Invalid Face "
                     "Number)."));
    // Next with no mode on opens nothing.
    Click(&wizard, I::kNext);
    QVERIFY(ran.isEmpty());

    Choose(&wizard, I::kFaceList, "6: Not Installed");
    QCOMPARE(ShownFields(&wizard, modes), QStringList({"1036=off", "1037=off", "1038=on"}));
    QCOMPARE(wizard.NotReadNotice(), QString());
    Click(&wizard, I::kNext);
    QCOMPARE(ran, QStringList{IdName(Ids::Dialog::kTimeOfDay)});
}

QTEST_MAIN(UnreadValuesTest)
#include "widget_unread_values_test.moc"
