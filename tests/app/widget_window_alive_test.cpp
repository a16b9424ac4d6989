// The main window stays drawn and answers the desktop while a transaction waits on the
// line, and its one-second tick never runs in the middle of a transaction.
#include <QApplication>
#include <QCloseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtTest>
#include <fstream>
#include <memory>

#include "cm_edit.h"
#include "device_map.h"
#include "main_window.h"
#include "open_main_window.h"
#include "resource_ids.h"
#include "simulated_site.h"

namespace {

using namespace std::chrono_literals;

QString Id(int id) {
    return QString::fromStdString(Ids::ObjectNameFor(id));
}

// Records the moment, on the site's virtual clock, of every paint the window receives.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(const SimLinkPlatform &platform) : m_platform(platform) {}
    std::vector<std::chrono::milliseconds> paints;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint) paints.push_back(m_platform.Now());
        return false;
    }

private:
    const SimLinkPlatform &m_platform;
};

}  // namespace

class WindowAliveTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void PaintIsServedWhileTheLinkWaitsOnASlowController();
    void TickDueMidTransactionRunsOnceItIsOver();
    void CloseBoxDuringASendActsOnceTheSendIsOver_data();
    void CloseBoxDuringASendActsOnceTheSendIsOver();
    void StopSignalDuringASendEndsOnceTheSendIsOver();
    void NoHookNoEventsInTheMiddleOfATransaction();

private:
    void Start(bool keepAlive = true);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimulatedSite> m_site;
    std::unique_ptr<DeviceMap> m_devices;
    std::unique_ptr<MainWindow> m_window;
    bool m_inTransaction = false;
    int m_ticksInTransaction = 0;
    int m_ticksOutside = 0;
};

void WindowAliveTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    std::ofstream(m_dir->filePath("voxa.ini").toStdString())
        << "[Communications]\nPort=COM1\nShowStartup=No\n";
    m_site = std::make_unique<SimulatedSite>();
    m_devices = std::make_unique<DeviceMap>();
    m_inTransaction = false;
    m_ticksInTransaction = 0;
    m_ticksOutside = 0;
}

void WindowAliveTest::cleanup() {
    m_window.reset();
    m_site.reset();
}

void WindowAliveTest::Start(bool keepAlive) {
    m_site->model.Current().lineCount = 2;
    m_window = std::make_unique<MainWindow>(m_site->platform, m_site->console, *m_devices,
                                            m_dir->filePath("voxa.ini"));
    if (keepAlive) m_window->StayAliveDuringTransactions();
    // The tick's work begins with the clock: each reading says where the tick ran.
    m_window->SetClock([this] {
        ++(m_inTransaction ? m_ticksInTransaction : m_ticksOutside);
        return QDateTime(QDate(2026, 12, 7), QTime(14, 7));
    });
    QVERIFY(OpenMainWindow(*m_window));
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void WindowAliveTest::PaintIsServedWhileTheLinkWaitsOnASlowController() {
    Start();
    // The controller takes two seconds to begin each reply.
    m_site->controller.SetReplyDelay(2000ms);
    PaintRecorder recorder(m_site->platform);
    m_window->installEventFilter(&recorder);
    m_window->update();

    const auto start = m_site->platform.Now();
    m_window->System()->GetCcStatus();
    const auto end = m_site->platform.Now();
    m_window->removeEventFilter(&recorder);

    QVERIFY(m_site->console.messages.empty());
    QVERIFY(end - start >= 2000ms);
    QVERIFY2(!recorder.paints.empty(), "no paint while the link waited");
    QVERIFY(recorder.paints.front() > start && recorder.paints.front() < end);
}

void WindowAliveTest::TickDueMidTransactionRunsOnceItIsOver() {
    Start();
    // A tick due at every turn of the event loop, so that one comes during the wait.
    m_window->SetPollPeriod(0ms);
    QTRY_VERIFY(m_ticksOutside > 0);
    m_site->controller.SetReplyDelay(300ms);

    m_inTransaction = true;
    m_window->System()->GetCcStatus();
    m_inTransaction = false;

    QCOMPARE(m_ticksInTransaction, 0);
    const int before = m_ticksOutside;
    QVERIFY2(m_window->TickWaiting(), "no tick came while the link waited");
    QCoreApplication::processEvents();
    QVERIFY(m_ticksOutside > before);
}

void WindowAliveTest::CloseBoxDuringASendActsOnceTheSendIsOver_data() {
    QTest::addColumn<QString>("line2");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<QString>("question");
    // Everything went out: the close box ends the program at once, without a question.
    QTest::newRow("send complete") << "2199" << true << QString();
    // Line 2 does not fit its format: the question names it, and No keeps the window.
    QTest::newRow("send stopped") << "21" << false
                                  << "The price on line 2 has not been sent; it is lost when "
                                     "VOXA ends.\n\nExit VOXA?";
}

void WindowAliveTest::CloseBoxDuringASendActsOnceTheSendIsOver() {
    QFETCH(QString, line2);
    QFETCH(bool, ends);
    QFETCH(QString, question);
    Start();
    m_window->Tick();
    auto *price1 = m_window->findChild<CmEdit *>(Id(Ids::Main::kPriceFieldIds[0]));
    auto *price2 = m_window->findChild<CmEdit *>(Id(Ids::Main::kPriceFieldIds[1]));
    price1->setFocus();
    QTest::keyClicks(price1, "1899");
    price2->setFocus();
    QTest::keyClicks(price2, line2);
    QVERIFY(m_window->System()->LineChanged(2));

    // The desktop's close arrives while the first price is on its way.
    m_site->controller.SetReplyDelay(300ms);
    bool closeSent = false;
    m_site->platform.SetKeepAlive([this, &closeSent] {
        if (!closeSent) {
            closeSent = true;
            QCoreApplication::postEvent(m_window.get(), new QCloseEvent);
        }
        m_window->KeepAlive().Serve();
    });
    QSignalSpy finished(m_window.get(), &QDialog::finished);
    m_site->console.answerYes = false;
    m_window->findChild<QPushButton *>(Id(Ids::Main::kSendUpdate))->click();

    QVERIFY(closeSent);
    // Nothing ended and nothing was asked in the middle of the send.
    QVERIFY(m_site->console.questions.empty());
    QCOMPARE(finished.count(), 0);
    QVERIFY(m_window->System() != nullptr);

    QCoreApplication::processEvents();
    QCOMPARE(finished.count(), ends ? 1 : 0);
    QCOMPARE(m_site->console.questions, question.isEmpty()
                                            ? std::vector<std::string>{}
                                            : std::vector<std::string>{question.toStdString()});
}

void WindowAliveTest::StopSignalDuringASendEndsOnceTheSendIsOver() {
    Start();
    m_window->Tick();
    auto *price1 = m_window->findChild<CmEdit *>(Id(Ids::Main::kPriceFieldIds[0]));
    price1->setFocus();
    QTest::keyClicks(price1, "1899");
    m_site->controller.SetReplyDelay(300ms);
    // A shutdown's SIGTERM reaches the event loop while the price is on its way.
    bool stopped = false;
    bool systemThroughout = true;
    m_site->platform.SetKeepAlive([this, &stopped, &systemThroughout] {
        if (!stopped) {
            stopped = true;
            QMetaObject::invokeMethod(m_window.get(), &MainWindow::EndForSystem,
                                      Qt::QueuedConnection);
        }
        m_window->KeepAlive().Serve();
        systemThroughout = systemThroughout && m_window->System() != nullptr;
    });
    QSignalSpy finished(m_window.get(), &QDialog::finished);
    m_window->findChild<QPushButton *>(Id(Ids::Main::kSendUpdate))->click();

    QVERIFY(stopped);
    QVERIFY(systemThroughout);
    QCOMPARE(finished.count(), 0);
    // The price went out whole: Get CC status, then Set line price.
    QCOMPARE(m_site->SentCodes(), (std::vector<int>{34, 4, 1, 1, 32, 32, 3, 3, 34, 2}));
    QTRY_COMPARE(finished.count(), 1);
    QVERIFY(m_window->System() == nullptr);
}

void WindowAliveTest::NoHookNoEventsInTheMiddleOfATransaction() {
    // Without the keep-alive (voxa-ctl, the tests of the protocol) nothing is delivered
    // while the link waits: the paint comes after.
    Start(false);
    m_site->controller.SetReplyDelay(2000ms);
    PaintRecorder recorder(m_site->platform);
    m_window->installEventFilter(&recorder);
    m_window->update();
    const auto end = [&] {
        m_window->System()->GetCcStatus();
        return m_site->platform.Now();
    }();
    QVERIFY(recorder.paints.empty());
    QTRY_VERIFY(!recorder.paints.empty());
    QCOMPARE(recorder.paints.front(), end);
    m_window->removeEventFilter(&recorder);
}

QTEST_MAIN(WindowAliveTest)
#include "widget_window_alive_test.moc"
