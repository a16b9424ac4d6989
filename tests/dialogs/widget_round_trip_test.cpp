#include <QtTest>
#include <functional>
#include <memory>

#include "date_time_dialog.h"
#include "dialog_test_kit.h"
#include "duty_cycle_dialog.h"
#include "light_sensor_dialog.h"
#include "manual_intensity_dialog.h"
#include "on_off_timer_dialog.h"
#include "resource_ids.h"
#include "tags_dialog.h"
#include "time_of_day_dialog.h"

namespace {

using DialogMaker = std::function<std::unique_ptr<ControllerDialog>(SignSystem &)>;

template <typename D>
DialogMaker Maker() {
    return [](SignSystem &system) { return std::make_unique<D>(system); };
}

QString Time(const ControllerModel::ShortTime &time) {
    return QString::asprintf("%d:%02d%s", time.hour, time.minute, time.pm ? "PM" : "AM");
}

// Everything the configuration dialogs can change, in the controller and in the sign
// system, as one text.
QString Everything(DialogSite &site) {
    const ControllerModel::State &s = site.State();
    QStringList parts;
    for (const ControllerModel::Face &face : s.faces) {
        parts << QString::asprintf("face %d/%d/%d/%d", face.mode, face.manualLevel,
                                   face.slotLevels[0], face.slotLevels[1]);
    }
    parts << "switch " + Time(s.switchTimes[0]) + " " + Time(s.switchTimes[1]);
    for (int percent : s.dutyCycles) parts << QString::number(percent);
    parts << "on/off " + Time(s.onOffTimes[0]) + " " + Time(s.onOffTimes[1]) +
                 (s.onOffTimerEnabled ? " enabled" : " disabled");
    const ControllerModel::CivilTime clock = site.controller.Model().Clock();
    parts << QString::asprintf("clock %d-%d-%d %d:%d:%d", clock.year, clock.month, clock.day,
                               clock.hour, clock.minute, clock.second);
    parts << (s.daylightSaving ? "daylight saving" : "standard time");
    for (int i = 0; i < 8; ++i) {
        parts << QString::fromStdString(site.system.GetLineTag(i));
        parts << QString::fromStdString(site.system.GetFaceTag(i));
    }
    return parts.join('|');
}

}  // namespace

Q_DECLARE_METATYPE(DialogMaker)

// Opened and closed with OK without an edit, every configuration dialog sends back what
// it read and changes nothing: the supervisor's check that a dialog can be looked at safely.
class RoundTripTest : public QObject {
    Q_OBJECT

private slots:
    void OkWithoutEditsChangesNothing_data();
    void OkWithoutEditsChangesNothing();
};

void RoundTripTest::OkWithoutEditsChangesNothing_data() {
    QTest::addColumn<DialogMaker>("make");
    QTest::addColumn<int>("face");
    QTest::addColumn<std::vector<int>>("sets");
    QTest::newRow("manual") << Maker<ManualIntensityDialog>() << 2 << std::vector<int>{28, 31};
    QTest::newRow("light sensor") << Maker<LightSensorDialog>() << 4
                                  << std::vector<int>{26, 26, 31};
    QTest::newRow("time of day") << Maker<TimeOfDayDialog>() << 6
                                 << std::vector<int>{26, 24, 26, 24, 31};
    QTest::newRow("duty cycle") << Maker<DutyCycleDialog>() << 0 << std::vector<int>{22};
    QTest::newRow("on/off timer") << Maker<OnOffTimerDialog>() << 0 << std::vector<int>{18, 18, 20};
    QTest::newRow("date and time") << Maker<DateTimeDialog>() << 0 << std::vector<int>{8, 11, 6};
    QTest::newRow("tags") << Maker<TagsDialog>() << 0 << std::vector<int>{};
}

void RoundTripTest::OkWithoutEditsChangesNothing() {
    QFETCH(DialogMaker, make);
    QFETCH(int, face);
    QFETCH(std::vector<int>, sets);
    DialogSite site;
    ControllerModel::State &s = site.State();
    // Values away from every default, PM and AM, single-digit minutes and months.
    s.faces[2] = {1, 3, {2, 4}};
    s.faces[4] = {3, 2, {1, 5}};
    s.faces[6] = {2, 5, {4, 2}};
    s.switchTimes = {ControllerModel::ShortTime{11, 45, true},
                     ControllerModel::ShortTime{12, 5, false}};
    s.dutyCycles = {37, 40, 60, 80, 99};
    s.onOffTimes = {ControllerModel::ShortTime{12, 59, true},
                    ControllerModel::ShortTime{1, 1, false}};
    s.onOffTimerEnabled = true;
    s.daylightSaving = true;
    site.controller.Model().SetClock({2031, 2, 3, 23, 9, 8});
    site.system.SetLineTag(0, "Regular");
    site.system.SetFaceTag(0, ": North");
    site.system.SetCurrentFace(face);

    const std::unique_ptr<ControllerDialog> dialog = make(site.system);
    dialog->Initialise();
    dialog->show();
    const QString before = Everything(site);
    site.ForgetRequests();
    QTest::mouseClick(Child<QAbstractButton>(dialog.get(), Ids::Result::kOk), Qt::LeftButton);

    QCOMPARE(dialog->result(), Ids::Result::kOk);
    std::vector<int> sent;
    for (const CommandFrame &frame : site.controller.Requests()) sent.push_back(frame.Code());
    QCOMPARE(sent, sets);
    QVERIFY(site.console.messages.empty());
    if (QTest::currentDataTag() == QString("tags")) {
        // The one change: the face tag box shows, and so stores, the tag without its
        // leading colon and blank.
        QCOMPARE(site.system.GetFaceTag(0), std::string("North"));
        site.system.SetFaceTag(0, ": North");
    }
    QCOMPARE(Everything(site), before);
}

QTEST_MAIN(RoundTripTest)
#include "widget_round_trip_test.moc"
