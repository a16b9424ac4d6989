#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QtTest>
#include <fstream>
#include <functional>
#include <map>
#include <memory>

#include "control_builder.h"
#include "controller_dialog.h"
#include "device_map.h"
#include "dialog_test_kit.h"
#include "main_window.h"
#include "menu_commands.h"
#include "open_main_window.h"
#include "resource_ids.h"
#include "settings_file.h"
#include "simulated_site.h"

namespace M = Ids::Menu;

// The sign configuration commands of the menu on the simulated site: each runs its
// dialog through the window's modal runner, and what the tags dialog stores reaches the
// main window's tag column and the settings file.
class ConfigurationCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void EachCommandRunsItsDialog_data();
    void EachCommandRunsItsDialog();
    void WizardNextRunsTheModeDialogTheSameWay();
    void TagsReachTheTagColumnAndTheSettingsFile();

private:
    using Script = std::function<int(QDialog &)>;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimulatedSite> m_site;
    std::unique_ptr<DeviceMap> m_devices;
    std::unique_ptr<MainWindow> m_window;
    // Dialogs run, by object name, in order; a script per dialog answers for the user.
    QStringList m_dialogs;
    std::map<QString, Script> m_scripts;
};

void ConfigurationCommandsTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_site = std::make_unique<SimulatedSite>();
    m_devices = std::make_unique<DeviceMap>();
    m_dialogs.clear();
    m_scripts.clear();
    std::ofstream(m_dir->filePath("voxa.ini").toStdString())
        << "[Tags]\ntag0=Regular\n[FaceTags]\nface1=North\n[Communications]\nPort=COM1\n";
    m_window = std::make_unique<MainWindow>(m_site->platform, m_site->console, *m_devices,
                                            m_dir->filePath("voxa.ini"));
    QVERIFY(OpenMainWindow(*m_window));
    m_window->Commands().SetModalRunner([this](QDialog &dialog) {
        m_dialogs << dialog.objectName();
        if (dialog.objectName() == IdName(Ids::Dialog::kPassword)) return Ids::Result::kOk;
        const auto script = m_scripts.find(dialog.objectName());
        if (script != m_scripts.end()) return script->second(dialog);
        // Opened and left with Cancel.
        static_cast<ControllerDialog &>(dialog).Initialise();
        return Ids::Result::kCancel;
    });
    m_site->controller.ClearRequests();
}

void ConfigurationCommandsTest::cleanup() {
    m_window.reset();
    m_site.reset();
}

void ConfigurationCommandsTest::EachCommandRunsItsDialog_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("dialog");
    QTest::addColumn<std::vector<int>>("opening");
    // The password dialog is scripted, so only the dialog's own opening reads go out.
    QTest::newRow("Intensity Mode")
        << M::kIntensityMode << Ids::Dialog::kIntensityMode << std::vector<int>{34, 30};
    QTest::newRow("Duty Cycle") << M::kDutyCycle << Ids::Dialog::kDutyCycle
                                << std::vector<int>{34, 23};
    QTest::newRow("On/Off Time") << M::kSignOnOffTime << Ids::Dialog::kOnOffTimer
                                 << std::vector<int>{34, 19, 19, 21};
    QTest::newRow("Date and Time")
        << M::kDateAndTime << Ids::Dialog::kDateTime << std::vector<int>{34, 9, 10, 7};
    QTest::newRow("Tags") << M::kTags << Ids::Dialog::kTags << std::vector<int>{34};
}

void ConfigurationCommandsTest::EachCommandRunsItsDialog() {
    QFETCH(int, command);
    QFETCH(int, dialog);
    QFETCH(std::vector<int>, opening);
    m_window->RunCommand(command);
    QCOMPARE(m_dialogs, QStringList({IdName(Ids::Dialog::kPassword), IdName(dialog)}));
    std::vector<int> received;
    for (const CommandFrame &frame : m_site->controller.Requests())
        received.push_back(frame.Code());
    QCOMPARE(received, opening);
    QVERIFY(m_site->console.messages.empty());
}

void ConfigurationCommandsTest::WizardNextRunsTheModeDialogTheSameWay() {
    m_scripts[IdName(Ids::Dialog::kIntensityMode)] = [](QDialog &dialog) {
        static_cast<ControllerDialog &>(dialog).Initialise();
        Child<QRadioButton>(&dialog, Ids::IntensityMode::kTimeOfDay)->setChecked(true);
        Child<QPushButton>(&dialog, Ids::IntensityMode::kNext)->click();
        return Ids::IntensityMode::kCancelFinish;
    };
    m_window->RunCommand(M::kIntensityMode);
    QCOMPARE(m_dialogs,
             QStringList({IdName(Ids::Dialog::kPassword), IdName(Ids::Dialog::kIntensityMode),
                          IdName(Ids::Dialog::kTimeOfDay)}));
}

void ConfigurationCommandsTest::TagsReachTheTagColumnAndTheSettingsFile() {
    m_scripts[IdName(Ids::Dialog::kTags)] = [](QDialog &dialog) {
        auto &tags = static_cast<ControllerDialog &>(dialog);
        tags.Initialise();
        tags.show();
        auto *lineTag = Child<QLineEdit>(&dialog, Ids::Tags::kLineTag);
        auto *faceTag = Child<QLineEdit>(&dialog, Ids::Tags::kFaceTag);
        // Line 0 is shown on faces 0 and 1: pick face 1.
        auto *faces = Child<QComboBox>(&dialog, Ids::Tags::kFaceList);
        faces->setCurrentIndex(faces->findText("1"));
        if (lineTag->text() != "Regular" || faceTag->text() != "North") return -1;
        lineTag->setText("Unleaded 95");
        faceTag->setText("Highway side");
        Child<QPushButton>(&dialog, Ids::Result::kOk)->click();
        return tags.result();
    };
    m_window->RunCommand(M::kTags);
    QCOMPARE(m_dialogs.back(), IdName(Ids::Dialog::kTags));

    m_window->Tick();
    auto *tagField = m_window->findChild<QLabel *>(IdName(Ids::Main::kTagLine1));
    QVERIFY(tagField->text().startsWith("Unleaded 95 ..."));

    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    QVERIFY(m_window->System() == nullptr);
    SettingsFile file(m_dir->filePath("voxa.ini").toStdString());
    QVERIFY(file.Load());
    QCOMPARE(file.ReadString("Tags", "tag0", "-"), std::string("Unleaded 95"));
    QCOMPARE(file.ReadString("FaceTags", "face1", "-"), std::string("Highway side"));
}

QTEST_MAIN(ConfigurationCommandsTest)
#include "widget_configuration_commands_test.moc"
