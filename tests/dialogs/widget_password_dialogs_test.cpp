#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QtTest>
#include <functional>
#include <memory>

#include <sys/prctl.h>

#include "change_password_dialog.h"
#include "core_dumps.h"
#include "control_builder.h"
#include "dialog_test_kit.h"
#include "password_dialog.h"
#include "resource_ids.h"

namespace {

// Runs a hook from inside a message, as a user pressing buttons while a message box is
// open during a transaction would.
class HookedConsole : public RecordingConsole {
public:
    void ShowMessage(const std::string &text) override {
        RecordingConsole::ShowMessage(text);
        if (onMessage) onMessage();
    }
    std::function<void()> onMessage;
};

// A site whose sign system reports to the hooked console.
using Site = BasicDialogSite<HookedConsole>;

// The text bytes of a password frame, from byte 3 to the first NUL.
std::string FrameText(const CommandFrame &frame) {
    std::string text;
    for (std::size_t i = 3; i < 21 && frame[i] != 0; ++i) text += char(frame[i]);
    return text;
}

}  // namespace

class PasswordDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { m_site = std::make_unique<Site>(); }
    void cleanup() { m_site.reset(); }

    void AcceptedPasswordEndsWithOk();
    void RefusalKeepsTheDialogOpenUntilTheRightPassword();
    void SilentControllerCountsAsRefusal();
    void EmptyPasswordIsSentAsZeros();
    void CancelWaysSendNothing_data();
    void CancelWaysSendNothing();
    void EntryRefusesWhatTheFrameCannotCarry();
    void OkDuringAVerificationStartsNoSecond();

    void MismatchShowsTheMessageAndOkStillCloses();
    void ApplyTwiceSendsTwice();
    void EmptyNewPasswordsAreSent();
    void ChangeNotConfirmedSaysTheOldPasswordHolds_data();
    void ChangeNotConfirmedSaysTheOldPasswordHolds();

    void EndedDialogsKeepNoPassword_data();
    void EndedDialogsKeepNoPassword();

    void APasswordWindowForbidsCoreDumps_data();
    void APasswordWindowForbidsCoreDumps();

private:
    std::unique_ptr<Site> m_site;
};

void PasswordDialogsTest::AcceptedPasswordEndsWithOk() {
    PasswordDialog dialog(m_site->system);
    dialog.Initialise();
    dialog.show();
    QTest::keyClicks(Child<QLineEdit>(&dialog, Ids::Password::kEntry), "voxa");
    QTest::keyClick(&dialog, Qt::Key_Return);

    QCOMPARE(dialog.result(), Ids::Result::kOk);
    QVERIFY(!dialog.isVisible());
    // The password dialog does not refresh the controller's status.
    QCOMPARE(m_site->Codes(), std::vector<int>{33});
    QCOMPARE(FrameText(m_site->controller.Requests().back()), std::string("voxa"));
}

void PasswordDialogsTest::RefusalKeepsTheDialogOpenUntilTheRightPassword() {
    PasswordDialog dialog(m_site->system);
    dialog.show();
    auto *entry = Child<QLineEdit>(&dialog, Ids::Password::kEntry);
    QTest::keyClicks(entry, " Voxa");
    QTest::mouseClick(Child<QPushButton>(&dialog, Ids::Result::kOk), Qt::LeftButton);

    QVERIFY(dialog.isVisible());
    QCOMPARE(Child<QLabel>(&dialog, Ids::Password::kMessage)->text(), QString("Invalid Password."));
    QCOMPARE(entry->text(), QString(" Voxa"));
    // Sent as typed: no trimming, no case folding.
    QCOMPARE(FrameText(m_site->controller.Requests().back()), std::string(" Voxa"));

    entry->clear();
    QTest::keyClicks(entry, "voxa");
    QTest::mouseClick(Child<QPushButton>(&dialog, Ids::Result::kOk), Qt::LeftButton);
    QCOMPARE(dialog.result(), Ids::Result::kOk);
    QCOMPARE(m_site->Codes(), (std::vector<int>{33, 33}));
}

void PasswordDialogsTest::SilentControllerCountsAsRefusal() {
    // An earlier acceptance must not carry over to a verification that got no answer.
    QVERIFY(m_site->system.VerifyPassword("voxa"));
    m_site->controller.Faults().silent = true;
    PasswordDialog dialog(m_site->system);
    dialog.show();
    QTest::keyClicks(Child<QLineEdit>(&dialog, Ids::Password::kEntry), "voxa");
    QTest::keyClick(&dialog, Qt::Key_Return);

    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.result() != Ids::Result::kOk);
    QCOMPARE(Child<QLabel>(&dialog, Ids::Password::kMessage)->text(), QString("Invalid Password."));
    QVERIFY(!m_site->console.messages.empty());  // the link's own report
}

void PasswordDialogsTest::EmptyPasswordIsSentAsZeros() {
    m_site->controller.Model().Current().password = "";
    PasswordDialog dialog(m_site->system);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Return);

    QCOMPARE(dialog.result(), Ids::Result::kOk);
    const CommandFrame &frame = m_site->controller.Requests().back();
    for (std::size_t i = 3; i <= 20; ++i) QCOMPARE(int(frame[i]), 0);
}

void PasswordDialogsTest::CancelWaysSendNothing_data() {
    QTest::addColumn<int>("way");
    QTest::newRow("Cancel button") << 0;
    QTest::newRow("Escape") << 1;
    QTest::newRow("close box") << 2;
}

void PasswordDialogsTest::CancelWaysSendNothing() {
    QFETCH(int, way);
    for (int which = 0; which < 2; ++which) {
        std::unique_ptr<ControllerDialog> dialog;
        if (which == 0)
            dialog = std::make_unique<PasswordDialog>(m_site->system);
        else
            dialog = std::make_unique<ChangePasswordDialog>(m_site->system);
        dialog->show();
        QTest::keyClicks(dialog->focusWidget(), "voxa");
        if (way == 0)
            QTest::mouseClick(Child<QPushButton>(dialog.get(), Ids::Result::kCancel),
                              Qt::LeftButton);
        else if (way == 1)
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        else
            dialog->close();
        QCOMPARE(dialog->result(), Ids::Result::kCancel);
        QVERIFY(!dialog->isVisible());
    }
    QVERIFY(m_site->controller.Requests().empty());
}

void PasswordDialogsTest::EntryRefusesWhatTheFrameCannotCarry() {
    PasswordDialog dialog(m_site->system);
    dialog.show();
    auto *entry = Child<QLineEdit>(&dialog, Ids::Password::kEntry);
    QTest::keyClicks(entry, "abcdefghijklmnopqrstu");
    QCOMPARE(entry->text(), QString("abcdefghijklmnopq"));

    // Two bytes each in UTF-8: eight fit, a ninth would need byte 18.
    entry->clear();
    for (int i = 0; i < 9; ++i)
        QTest::sendKeyEvent(QTest::Click, entry, Qt::Key_Eacute, QString(QChar(0x00E9)),
                            Qt::NoModifier);
    QCOMPARE(entry->text(), QString(8, QChar(0x00E9)));
    QTest::keyClicks(entry, "x");
    QCOMPARE(entry->text().toUtf8().size(), 17);

    ChangePasswordDialog change(m_site->system);
    change.show();
    for (int id : {Ids::ChangePassword::kNewPassword, Ids::ChangePassword::kVerifyPassword}) {
        auto *edit = Child<QLineEdit>(&change, id);
        QTest::keyClicks(edit, "abcdefghijklmnopqrstu");
        QCOMPARE(edit->text().size(), 17);
    }
}

void PasswordDialogsTest::OkDuringAVerificationStartsNoSecond() {
    PasswordDialog dialog(m_site->system);
    dialog.show();
    QTest::keyClicks(Child<QLineEdit>(&dialog, Ids::Password::kEntry), "voxa");
    // The controller refuses the first try with a status whose message box is open while
    // the user presses OK again and again.
    m_site->controller.Faults().forcedStatus = 12;
    m_site->controller.Faults().forcedStatusCount = 1;
    int pressed = 0;
    m_site->console.onMessage = [&] {
        for (int i = 0; i < 3; ++i, ++pressed)
            Child<QPushButton>(&dialog, Ids::Result::kOk)->click();
    };
    QTest::keyClick(&dialog, Qt::Key_Return);

    QCOMPARE(pressed, 3);
    QCOMPARE(m_site->Codes(), std::vector<int>{33});
    QVERIFY(dialog.isVisible());
}

void PasswordDialogsTest::MismatchShowsTheMessageAndOkStillCloses() {
    ChangePasswordDialog dialog(m_site->system);
    dialog.show();
    QTest::keyClicks(Child<QLineEdit>(&dialog, Ids::ChangePassword::kNewPassword), "Secret");
    QTest::keyClicks(Child<QLineEdit>(&dialog, Ids::ChangePassword::kVerifyPassword), "secret");
    QTest::mouseClick(Child<QPushButton>(&dialog, Ids::Result::kOk), Qt::LeftButton);

    QCOMPARE(m_site->console.messages,
             std::vector<std::string>{"Passwords do not match.\nSystem Password NOT changed.\n"});
    QCOMPARE(dialog.result(), Ids::Result::kOk);
    QVERIFY(m_site->controller.Requests().empty());
    QCOMPARE(m_site->controller.Model().Current().password, std::string("voxa"));
}

void PasswordDialogsTest::ApplyTwiceSendsTwice() {
    ChangePasswordDialog dialog(m_site->system);
    dialog.show();
    QTest::keyClicks(Child<QLineEdit>(&dialog, Ids::ChangePassword::kNewPassword), "station 7");
    QTest::keyClicks(Child<QLineEdit>(&dialog, Ids::ChangePassword::kVerifyPassword), "station 7");
    auto *apply = Child<QPushButton>(&dialog, Ids::Result::kApply);
    QTest::mouseClick(apply, Qt::LeftButton);
    QTest::mouseClick(apply, Qt::LeftButton);

    QVERIFY(dialog.isVisible());
    QCOMPARE(m_site->Codes(), (std::vector<int>{5, 5}));
    QCOMPARE(FrameText(m_site->controller.Requests().back()), std::string("station 7"));
    QCOMPARE(m_site->controller.Model().Current().password, std::string("station 7"));
    QVERIFY(m_site->console.messages.empty());
}

void PasswordDialogsTest::EmptyNewPasswordsAreSent() {
    ChangePasswordDialog dialog(m_site->system);
    dialog.show();
    QTest::mouseClick(Child<QPushButton>(&dialog, Ids::Result::kOk), Qt::LeftButton);

    QCOMPARE(dialog.result(), Ids::Result::kOk);
    QCOMPARE(m_site->Codes(), std::vector<int>{5});
    const CommandFrame &frame = m_site->controller.Requests().back();
    for (std::size_t i = 3; i <= 20; ++i) QCOMPARE(int(frame[i]), 0);
    QCOMPARE(m_site->controller.Model().Current().password, std::string());
}

void PasswordDialogsTest::ChangeNotConfirmedSaysTheOldPasswordHolds_data() {
    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("messages");  // the link's or the controller's own, then ours
    QTest::newRow("refused") << false << 2;
    QTest::newRow("not answered") << true << 2;
}

void PasswordDialogsTest::ChangeNotConfirmedSaysTheOldPasswordHolds() {
    QFETCH(bool, silent);
    QFETCH(int, messages);
    FaultPlan &faults = m_site->controller.Faults();
    faults.silent = silent;
    faults.forcedStatus = ControllerStatus::kInvalidLine;
    faults.forcedStatusCount = -1;
    faults.forcedStatusCommand = 5;
    ChangePasswordDialog dialog(m_site->system);
    dialog.show();
    QTest::keyClicks(Child<QLineEdit>(&dialog, Ids::ChangePassword::kNewPassword), "new one");
    QTest::keyClicks(Child<QLineEdit>(&dialog, Ids::ChangePassword::kVerifyPassword), "new one");
    QTest::mouseClick(Child<QPushButton>(&dialog, Ids::Result::kOk), Qt::LeftButton);

    QCOMPARE(int(m_site->console.messages.size()), messages);
    QCOMPARE(m_site->console.messages.back(), std::string("System Password NOT changed."));
    QCOMPARE(dialog.result(), Ids::Result::kOk);
    QCOMPARE(m_site->controller.Model().Current().password, std::string("voxa"));
}

void PasswordDialogsTest::EndedDialogsKeepNoPassword_data() {
    QTest::addColumn<bool>("change");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("closing");
    QTest::addColumn<int>("sent");
    QTest::newRow("password accepted") << false << "voxa" << int(Ids::Result::kOk) << 33;
    QTest::newRow("password refused, then Cancel")
        << false << "not it" << int(Ids::Result::kCancel) << 33;
    QTest::newRow("change applied, then Cancel")
        << true << "dusk" << int(Ids::Result::kCancel) << 5;
    QTest::newRow("change by OK") << true << "dusk" << int(Ids::Result::kOk) << 5;
}

void PasswordDialogsTest::EndedDialogsKeepNoPassword() {
    QFETCH(bool, change);
    QFETCH(QString, typed);
    QFETCH(int, closing);
    QFETCH(int, sent);
    std::unique_ptr<ControllerDialog> dialog;
    std::vector<QLineEdit *> entries;
    if (change) {
        dialog = std::make_unique<ChangePasswordDialog>(m_site->system);
        entries = {Child<QLineEdit>(dialog.get(), Ids::ChangePassword::kNewPassword),
                   Child<QLineEdit>(dialog.get(), Ids::ChangePassword::kVerifyPassword)};
    } else {
        dialog = std::make_unique<PasswordDialog>(m_site->system);
        entries = {Child<QLineEdit>(dialog.get(), Ids::Password::kEntry)};
    }
    dialog->show();
    for (QLineEdit *entry : entries) QTest::keyClicks(entry, typed);
    if (change)
        QTest::mouseClick(Child<QPushButton>(dialog.get(), Ids::Result::kApply), Qt::LeftButton);
    if (!change || closing == Ids::Result::kOk)
        QTest::mouseClick(Child<QPushButton>(dialog.get(), Ids::Result::kOk), Qt::LeftButton);
    if (dialog->isVisible()) {
        // Until it ends, the dialog keeps what was typed for another try.
        for (QLineEdit *entry : entries) QCOMPARE(entry->text(), typed);
        QTest::mouseClick(Child<QPushButton>(dialog.get(), Ids::Result::kCancel), Qt::LeftButton);
    }
    QCOMPARE(dialog->result(), closing);

    QVERIFY(!m_site->controller.Requests().empty());
    QCOMPARE(FrameText(m_site->controller.Requests().back()), typed.toStdString());
    for (QLineEdit *entry : entries) {
        QVERIFY(entry->text().isEmpty());
        // Ctrl+Z must not bring the text back either.
        QVERIFY(!entry->isUndoAvailable());
        entry->undo();
        QVERIFY(entry->text().isEmpty());
    }
    // Nor do the frames this side of the line keep it: only the command is named.
    for (const CommandFrame *frame :
         {&m_site->system.Builder().Frame(), &m_site->system.Link().LastSentFrame()}) {
        QCOMPARE(int(frame->Code()), sent);
        for (std::size_t i = 3; i < kFrameSize; ++i) QCOMPARE(int((*frame)[i]), 0);
    }
}

void PasswordDialogsTest::APasswordWindowForbidsCoreDumps_data() {
    QTest::addColumn<bool>("change");
    QTest::newRow("password") << false;
    QTest::newRow("change password") << true;
}

// What is typed in a password window stays in the program's memory after the window (Qt's
// copies are freed, not overwritten): from the window on, no core dump may write it out.
void PasswordDialogsTest::APasswordWindowForbidsCoreDumps() {
    QFETCH(bool, change);
    QCOMPARE(::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0), 0);
    QVERIFY(!CoreDumps::Forbidden());
    if (change) {
        ChangePasswordDialog dialog(m_site->system);
        QVERIFY(CoreDumps::Forbidden());
    } else {
        PasswordDialog dialog(m_site->system);
        QVERIFY(CoreDumps::Forbidden());
    }
    // For the rest of the run.
    QVERIFY(CoreDumps::Forbidden());
    ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
}

QTEST_MAIN(PasswordDialogsTest)
#include "widget_password_dialogs_test.moc"
