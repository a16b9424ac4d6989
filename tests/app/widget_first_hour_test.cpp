// What a newcomer meets first in the main window: a start without a port, prices typed and
// not sent when the window is closed, the last update kept, and the words of the exit
// question and of a missing display.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtTest>
#include <fstream>
#include <memory>

#include "cm_edit.h"
#include "device_map.h"
#include "display_check.h"
#include "exit_question.h"
#include "main_window.h"
#include "open_main_window.h"
#include "resource_ids.h"
#include "settings_file.h"
#include "simulated_site.h"
#include "status_line.h"

namespace {

QString Id(int id) {
    return QString::fromStdString(Ids::ObjectNameFor(id));
}

using Lines = std::vector<int>;
using Words = std::vector<std::string>;

}  // namespace

Q_DECLARE_METATYPE(Lines)
Q_DECLARE_METATYPE(Words)

class FirstHourTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void StartWithoutAPortAsksTheControllerNothing();
    void EscapeAndTheCloseBoxAskWhenPricesAreUnsent_data();
    void EscapeAndTheCloseBoxAskWhenPricesAreUnsent();
    void FileExitNamesTheUnsentLines();
    void LastCompleteSendIsKeptWhenALaterOneStops();

    void ExitQuestionNamesTheLines_data();
    void ExitQuestionNamesTheLines();
    void MissingDisplayIsToldBeforeQt_data();
    void MissingDisplayIsToldBeforeQt();

private:
    void WriteSettings(const std::string &text);
    SettingsFile SavedSettings() const;
    void Start();
    CmEdit *Price(int line) const;
    void TypeInto(int line, const QString &keys);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimulatedSite> m_site;
    std::unique_ptr<DeviceMap> m_devices;
    std::unique_ptr<MainWindow> m_window;
    QDateTime m_now;
};

void FirstHourTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_site = std::make_unique<SimulatedSite>();
    m_devices = std::make_unique<DeviceMap>();
    m_now = QDateTime(QDate(2026, 12, 7), QTime(14, 7));
    WriteSettings("[UpdateStatus]\nlastmsg=12/6/2026 4:29 PM\n[Communications]\nPort=COM1\n");
}

void FirstHourTest::cleanup() {
    m_window.reset();
    m_site.reset();
}

void FirstHourTest::WriteSettings(const std::string &text) {
    std::ofstream(m_dir->filePath("voxa.ini").toStdString(), std::ios::binary) << text;
}

SettingsFile FirstHourTest::SavedSettings() const {
    SettingsFile file(m_dir->filePath("voxa.ini").toStdString());
    file.Load();
    return file;
}

void FirstHourTest::Start() {
    m_window = std::make_unique<MainWindow>(m_site->platform, m_site->console, *m_devices,
                                            m_dir->filePath("voxa.ini"));
    m_window->SetClock([this] { return m_now; });
    QVERIFY(OpenMainWindow(*m_window));
    m_window->Tick();
}

CmEdit *FirstHourTest::Price(int line) const {
    return m_window->findChild<CmEdit *>(Id(Ids::Main::kPriceFieldIds[line - 1]));
}

void FirstHourTest::TypeInto(int line, const QString &keys) {
    CmEdit *field = Price(line);
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    QTest::keyClicks(field, keys);
}

void FirstHourTest::StartWithoutAPortAsksTheControllerNothing() {
    // A first start on a PC without a port: the port dialog was left with Escape.
    WriteSettings("[Tags]\ntag0=Regular\n");
    m_window = std::make_unique<MainWindow>(m_site->platform, m_site->console, *m_devices,
                                            m_dir->filePath("voxa.ini"));
    int dialogs = 0;
    m_window->SetPortDialogHook([&dialogs] { ++dialogs; });
    m_window->SetClock([this] { return m_now; });
    QVERIFY(OpenMainWindow(*m_window));
    QCOMPARE(dialogs, 1);

    QCOMPARE(m_site->console.messages, Words{MainWindow::kNoPortText});
    QCOMPARE(m_site->platform.OpenCount(), 0);
    QVERIFY(!m_window->SplashOpen());
    QVERIFY(m_window->PollTimer().isActive());
    m_window->Tick();
    QCOMPARE(m_window->Status().CurrentlyShown(), StatusLine::Shown::NotAnswering);
    QVERIFY(!Price(1)->isEnabled());

    QSignalSpy finished(m_window.get(), &QDialog::finished);
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    QCOMPARE(finished.count(), 1);
    // The next start asks for the port again: no placeholder was saved as one.
    QCOMPARE(SavedSettings().ReadString("Communications", "Port", "<none>"), std::string("<none>"));
    QCOMPARE(SavedSettings().ReadString("Tags", "tag0", "-"), std::string("Regular"));
}

void FirstHourTest::EscapeAndTheCloseBoxAskWhenPricesAreUnsent_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::addColumn<QString>("typedIntoLine2");
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<bool>("asked");
    for (bool closeBox : {false, true}) {
        const char *way = closeBox ? "close box" : "Escape";
        QTest::addRow("%s, nothing unsent", way) << closeBox << QString() << false << true << false;
        QTest::addRow("%s, line 2 unsent, No", way) << closeBox << "2199" << false << false << true;
        QTest::addRow("%s, line 2 unsent, Yes", way) << closeBox << "2199" << true << true << true;
    }
}

void FirstHourTest::EscapeAndTheCloseBoxAskWhenPricesAreUnsent() {
    QFETCH(bool, closeBox);
    QFETCH(QString, typedIntoLine2);
    QFETCH(bool, answerYes);
    QFETCH(bool, ends);
    QFETCH(bool, asked);
    Start();
    if (!typedIntoLine2.isEmpty()) TypeInto(2, typedIntoLine2);
    m_site->console.answerYes = answerYes;
    QSignalSpy finished(m_window.get(), &QDialog::finished);
    if (closeBox) {
        m_window->close();
    } else {
        // From the price field, where the operator is.
        TypeInto(2, QString());
        QTest::keyClick(Price(2), Qt::Key_Escape);
    }
    QCOMPARE(m_site->console.questions,
             asked ? Words{"The price on line 2 has not been sent; it is lost when VOXA "
                           "ends.\n\nExit VOXA?"}
                   : Words{});
    QCOMPARE(finished.count(), ends ? 1 : 0);
    QCOMPARE(m_window->System() == nullptr, ends);
    if (!ends) {
        // Nothing was lost: the price is still there, and still waits to be sent.
        QCOMPARE(Price(2)->text(), QString("2.199"));
        QVERIFY(m_window->isVisible());
    }
}

void FirstHourTest::FileExitNamesTheUnsentLines() {
    Start();
    TypeInto(2, "2199");
    TypeInto(5, "1234");
    m_site->console.answerYes = false;
    m_window->Command(Ids::Menu::kExit)->trigger();
    QCOMPARE(m_site->console.questions,
             Words{"Prices on lines 2 and 5 have not been sent; they are lost when VOXA ends.\n\n"
                   "Exit VOXA?"});
    // Once they went out, the question is the plain one.
    m_window->findChild<QPushButton *>(Id(Ids::Main::kSendUpdate))->click();
    QVERIFY(m_window->UnsentLines().empty());
    m_window->Command(Ids::Menu::kExit)->trigger();
    QCOMPARE(m_site->console.questions.back(), std::string("Exit VOXA?"));
}

void FirstHourTest::LastCompleteSendIsKeptWhenALaterOneStops() {
    Start();
    TypeInto(1, "1899");
    m_window->findChild<QPushButton *>(Id(Ids::Main::kSendUpdate))->click();
    m_now = m_now.addSecs(3600);
    m_window->Tick();
    // A second send stops at a price that does not fit its line.
    TypeInto(2, "21");
    m_window->findChild<QPushButton *>(Id(Ids::Main::kSendUpdate))->click();
    QCOMPARE(m_window->findChild<QLabel *>(Id(Ids::Main::kLastUpdate))->text(),
             QString("Error:\nBad Value, Price #2"));
    m_site->console.answerYes = true;
    QTest::keyClick(m_window.get(), Qt::Key_Escape);
    QVERIFY(m_window->System() == nullptr);
    QCOMPARE(SavedSettings().ReadString("UpdateStatus", "lastmsg", "-"),
             std::string("12/7/2026 2:07 PM"));
}

void FirstHourTest::ExitQuestionNamesTheLines_data() {
    QTest::addColumn<Lines>("lines");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << Lines{} << "Exit VOXA?";
    QTest::newRow("one") << Lines{7}
                         << "The price on line 7 has not been sent; it is lost when VOXA ends."
                            "\n\nExit VOXA?";
    QTest::newRow("two") << Lines{2, 5}
                         << "Prices on lines 2 and 5 have not been sent; they are lost when "
                            "VOXA ends.\n\nExit VOXA?";
    QTest::newRow("four") << Lines{1, 3, 4, 8}
                          << "Prices on lines 1, 3, 4 and 8 have not been sent; they are lost "
                             "when VOXA ends.\n\nExit VOXA?";
}

void FirstHourTest::ExitQuestionNamesTheLines() {
    QFETCH(Lines, lines);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(ExitQuestion::Text(lines)), text);
}

void FirstHourTest::MissingDisplayIsToldBeforeQt_data() {
    QTest::addColumn<Words>("arguments");
    QTest::addColumn<QString>("display");   // DISPLAY
    QTest::addColumn<QString>("wayland");   // WAYLAND_DISPLAY
    QTest::addColumn<QString>("platform");  // QT_QPA_PLATFORM
    QTest::addColumn<bool>("missing");
    QTest::newRow("nothing set") << Words{} << ""
                                 << ""
                                 << "" << true;
    QTest::newRow("X display") << Words{} << ":0"
                               << ""
                               << "" << false;
    QTest::newRow("Wayland display") << Words{} << ""
                                     << "wayland-0"
                                     << "" << false;
    QTest::newRow("xcb asked for") << Words{} << ""
                                   << ""
                                   << "xcb" << true;
    QTest::newRow("xcb asked for, -display") << Words{"-display", ":3"} << ""
                                             << ""
                                             << "xcb" << false;
    QTest::newRow("offscreen") << Words{} << ""
                               << ""
                               << "offscreen" << false;
    QTest::newRow("-platform offscreen") << Words{"-platform", "offscreen"} << ""
                                         << ""
                                         << "" << false;
    QTest::newRow("wayland by name") << Words{} << ""
                                     << ""
                                     << "wayland" << false;
}

void FirstHourTest::MissingDisplayIsToldBeforeQt() {
    QFETCH(Words, arguments);
    QFETCH(QString, display);
    QFETCH(QString, wayland);
    QFETCH(QString, platform);
    QFETCH(bool, missing);
    const std::string x = display.toStdString(), w = wayland.toStdString(),
                      p = platform.toStdString();
    const DisplayCheck::Environment environment = [&](const char *name) -> const char * {
        const std::string &value = std::string(name) == "DISPLAY"           ? x
                                   : std::string(name) == "WAYLAND_DISPLAY" ? w
                                   : std::string(name) == "QT_QPA_PLATFORM" ? p
                                                                            : std::string();
        return value.empty() ? nullptr : value.c_str();
    };
    const auto said = DisplayCheck::Missing(arguments, environment);
    QCOMPARE(said.has_value(), missing);
    if (missing) {
        QVERIFY(said->starts_with(
            "voxa needs a graphical display: DISPLAY (or WAYLAND_DISPLAY) is not set.\n"));
    }
}

QTEST_MAIN(FirstHourTest)
#include "widget_first_hour_test.moc"
