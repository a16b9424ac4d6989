// The main window follows the prices other programs put on the sign, as the price log
// tells them: a line not edited shows the new price and the last update its time; a line
// being edited keeps what was typed, is marked, and Send Update asks about it.
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "cm_edit.h"
#include "device_map.h"
#include "main_window.h"
#include "open_main_window.h"
#include "price_log_file.h"
#include "price_log_follower.h"
#include "recording_console.h"
#include "resource_ids.h"
#include "simulated_site.h"
#include "status_line.h"

namespace {

QString Id(int id) {
    return QString::fromStdString(Ids::ObjectNameFor(id));
}

constexpr std::time_t kChangeTime = 1796212800;

// Answers from the script, and runs a hook while a question is open, as the timer would
// while the person reads it.
class HookedConsole : public RecordingConsole {
public:
    bool AskYesNo(const std::string &text) override {
        if (onQuestion) onQuestion();
        return RecordingConsole::AskYesNo(text);
    }
    std::function<void()> onQuestion;
};

PriceAttempt Attempt(int line, const std::string &newPrice, PriceOutcome outcome) {
    return PriceAttempt{line, "Plus", "3.599", newPrice, outcome, false, ""};
}

}  // namespace

class FollowChangesTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void AChangeElsewhereShowsWithItsTime_data();
    void AChangeElsewhereShowsWithItsTime();
    void OwnSendsAreNotFollowed();
    void AnEditedLineIsKeptAndMarked();
    void SendUpdateAsksAboutALineChangedUnderneath_data();
    void SendUpdateAsksAboutALineChangedUnderneath();
    void AStoppedSendKeepsItsReasonInTheBox();
    void NothingIsTakenWhileSendUpdateRuns();
    void TheLimitsMeasureFromThePriceSetElsewhere();

private:
    void Start(const std::string &extraSettings = "");
    std::unique_ptr<PriceLogFile> Other(const std::string &source);
    CmEdit *Price(int line) const;
    QLabel *Mark(int line) const;
    QString LastUpdate() const;
    void Edit(int line, const QString &keys);
    void Send();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimulatedSite> m_site;
    std::unique_ptr<DeviceMap> m_devices;
    HookedConsole m_console;
    std::unique_ptr<MainWindow> m_window;
};

void FollowChangesTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_site = std::make_unique<SimulatedSite>();
    m_devices = std::make_unique<DeviceMap>();
    m_console = HookedConsole();
}

void FollowChangesTest::cleanup() {
    m_window.reset();
    m_site.reset();
}

void FollowChangesTest::Start(const std::string &extraSettings) {
    std::ofstream(m_dir->filePath("voxa.ini").toStdString(), std::ios::binary)
        << "[Tags]\ntag0=Regular\ntag1=Plus\n[Communications]\nPort=COM1\n"
        << extraSettings;
    m_window = std::make_unique<MainWindow>(m_site->platform, m_console, *m_devices,
                                            m_dir->filePath("voxa.ini"));
    m_window->SetClock([] { return QDateTime(QDate(2026, 12, 7), QTime(14, 7)); });
    QVERIFY(OpenMainWindow(*m_window));
    m_window->Tick();
    m_site->platform.ClearEvents();
}

std::unique_ptr<PriceLogFile> FollowChangesTest::Other(const std::string &source) {
    auto log = std::make_unique<PriceLogFile>(m_dir->path().toStdString(), source);
    log->SetClock([] { return kChangeTime; });
    log->SetUser("hq");
    log->Prepare();
    return log;
}

CmEdit *FollowChangesTest::Price(int line) const {
    return m_window->findChild<CmEdit *>(Id(Ids::Main::kPriceFieldIds[line - 1]));
}

QLabel *FollowChangesTest::Mark(int line) const {
    return m_window->findChild<QLabel *>(Id(Ids::Main::kChangedElsewhereMarkIds[line - 1]));
}

QString FollowChangesTest::LastUpdate() const {
    return m_window->findChild<QLabel *>(Id(Ids::Main::kLastUpdate))->text();
}

void FollowChangesTest::Edit(int line, const QString &keys) {
    CmEdit *field = Price(line);
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    QTest::keyClicks(field, keys);
}

void FollowChangesTest::Send() {
    m_window->findChild<QPushButton *>(Id(Ids::Main::kSendUpdate))->click();
}

void FollowChangesTest::AChangeElsewhereShowsWithItsTime_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("outcome");
    QTest::newRow("voxa-ctl, sent") << "voxa-ctl" << static_cast<int>(PriceOutcome::Sent);
    QTest::newRow("head office, confirmed")
        << "head-office" << static_cast<int>(PriceOutcome::Confirmed);
}

void FollowChangesTest::AChangeElsewhereShowsWithItsTime() {
    QFETCH(QString, source);
    QFETCH(int, outcome);
    Start();
    const QString before = LastUpdate();
    Other(source.toStdString())->Append(Attempt(2, "3.579", static_cast<PriceOutcome>(outcome)));
    Other("voxa-ctl")->Append(Attempt(3, "9.999", PriceOutcome::Refused));
    QCOMPARE(Price(2)->text(), QString("3.599"));
    QCOMPARE(LastUpdate(), before);
    m_window->Tick();
    QCOMPARE(Price(2)->text(), QString("3.579"));
    QCOMPARE(Price(3)->text(), QString("3.799"));
    QCOMPARE(LastUpdate(),
             "Last Update:\n" + StatusLine::ClockText(QDateTime::fromSecsSinceEpoch(kChangeTime)));
    // Shown, not edited: nothing to send, and nothing was asked of the controller for it.
    QVERIFY(!m_window->System()->LineChanged(2));
    QVERIFY(!m_window->findChild<QPushButton *>(Id(Ids::Main::kSendUpdate))->isEnabled());
    QVERIFY(!Mark(2)->isVisible());
    QVERIFY(m_site->SentCodes().empty());
    QCOMPARE(m_window->Panel()->Update().KnownPrice(2), std::optional<std::string>("3.579"));
    // The settings keep it as the last update.
    QCOMPARE(m_window->Panel()->LastUpdateToKeep(), LastUpdate());
    QVERIFY(m_console.messages.empty());
}

void FollowChangesTest::OwnSendsAreNotFollowed() {
    Start();
    Edit(1, "3459");
    Send();
    const QString sent = LastUpdate();
    QCOMPARE(sent, QString("Last Update:\n12/7/2026 2:07 PM"));
    m_window->Tick();
    m_window->Tick();
    // Taken as a change, the log's own line would show the PC's time of the send.
    QCOMPARE(LastUpdate(), sent);
    QCOMPARE(Price(1)->text(), QString("3.459"));
}

void FollowChangesTest::AnEditedLineIsKeptAndMarked() {
    Start();
    QVERIFY(!Mark(2)->isVisible());
    Edit(2, "3559");
    Other("voxa-ctl")->Append(Attempt(2, "3.579", PriceOutcome::Sent));
    m_window->Tick();
    QCOMPARE(Price(2)->text(), QString("3.559"));
    QVERIFY(m_window->System()->LineChanged(2));
    QVERIFY(Mark(2)->isVisible());
    QVERIFY(!Mark(1)->isVisible());
    for (QWidget *widget : {static_cast<QWidget *>(Price(2)), static_cast<QWidget *>(Mark(2))}) {
        QVERIFY2(widget->toolTip().contains("the sign now shows 3.579, set by voxa-ctl (user hq)"),
                 qPrintable(widget->toolTip()));
    }
    QVERIFY(Price(1)->toolTip().isEmpty());
    QCOMPARE(Price(2)->palette().color(QPalette::Base), PricePanel::kChangedElsewhereTint);
    QVERIFY(Price(1)->palette().color(QPalette::Base) != PricePanel::kChangedElsewhereTint);
    QVERIFY(m_window->Panel()->ChangedElsewhere(2).has_value());
}

void FollowChangesTest::SendUpdateAsksAboutALineChangedUnderneath_data() {
    QTest::addColumn<bool>("answerYes");
    QTest::newRow("yes sends the price typed") << true;
    QTest::newRow("no keeps the price on the sign") << false;
}

void FollowChangesTest::SendUpdateAsksAboutALineChangedUnderneath() {
    QFETCH(bool, answerYes);
    Start();
    Edit(2, "3559");
    Other("head-office")->Append(Attempt(2, "3.579", PriceOutcome::Confirmed));
    m_window->Tick();
    m_console.answerYes = answerYes;
    Send();
    const std::string when =
        StatusLine::ClockText(QDateTime::fromSecsSinceEpoch(kChangeTime)).toStdString();
    QCOMPARE(
        m_console.questions,
        std::vector<std::string>{
            "Price #2 was changed while you were editing it: the sign now shows 3.579, set "
            "by head-office (user hq) at " +
            when + ".\n\nSend your price, 3.559, anyway? No keeps 3.579 and drops your edit."});
    QVERIFY(!Mark(2)->isVisible());
    QVERIFY(Price(2)->toolTip().isEmpty());
    QVERIFY(Price(2)->palette().color(QPalette::Base) != PricePanel::kChangedElsewhereTint);
    QVERIFY(!m_window->System()->LineChanged(2));
    QVERIFY(!m_window->findChild<QPushButton *>(Id(Ids::Main::kSendUpdate))->isEnabled());
    if (answerYes) {
        QCOMPARE(m_site->model.Current().lines[1].price, std::string("3.559"));
        QCOMPARE(Price(2)->text(), QString("3.559"));
    } else {
        QCOMPARE(m_site->SentCodes(), std::vector<int>{});
        QCOMPARE(Price(2)->text(), QString("3.579"));
        // Back in the font of a line not edited.
        QCOMPARE(Price(2)->font(), Price(1)->font());
    }
}

// The reason a send stopped stays in the box; the time of the change elsewhere is what the
// settings keep as the last update.
void FollowChangesTest::AStoppedSendKeepsItsReasonInTheBox() {
    Start("[Limits]\nMaxChangePercent=20\n");
    Edit(1, "8599");
    m_console.answerYes = false;
    Send();
    QCOMPARE(LastUpdate(), QString("Error:\nNot Sent, Price #1"));
    Other("voxa-ctl")->Append(Attempt(3, "3.759", PriceOutcome::Sent));
    m_window->Tick();
    QCOMPARE(Price(3)->text(), QString("3.759"));
    QCOMPARE(LastUpdate(), QString("Error:\nNot Sent, Price #1"));
    QCOMPARE(m_window->Panel()->LastUpdateToKeep(),
             "Last Update:\n" + StatusLine::ClockText(QDateTime::fromSecsSinceEpoch(kChangeTime)));
}

// A tick while Send Update asks its question takes nothing from the log: the send reads the
// fields as it goes. What came in is shown after.
void FollowChangesTest::NothingIsTakenWhileSendUpdateRuns() {
    Start("[Limits]\nMaxChangePercent=20\n");
    Edit(1, "8599");
    const auto ctl = Other("voxa-ctl");
    m_console.onQuestion = [&] {
        ctl->Append(Attempt(3, "3.759", PriceOutcome::Sent));
        m_window->Tick();
        QCOMPARE(Price(3)->text(), QString("3.799"));
    };
    m_console.answerYes = false;
    Send();
    QCOMPARE(m_console.questions.size(), std::size_t{1});
    m_console.onQuestion = nullptr;
    m_window->Tick();
    QCOMPARE(Price(3)->text(), QString("3.759"));
}

// The change limit and the log's old price start from the price set elsewhere.
void FollowChangesTest::TheLimitsMeasureFromThePriceSetElsewhere() {
    Start("[Limits]\nMaxChangePercent=20\n");
    Other("voxa-ctl")->Append(Attempt(1, "5.499", PriceOutcome::Sent));
    m_window->Tick();
    m_console.answerYes = false;
    Edit(1, "5599");
    Send();
    QVERIFY(m_console.questions.empty());
    QCOMPARE(m_site->model.Current().lines[0].price, std::string("5.599"));
}

QTEST_MAIN(FollowChangesTest)
#include "widget_follow_changes_test.moc"
