#include <QtTest>
#include <memory>

#include "dialog_test_kit.h"
#include "resource_ids.h"
#include "tags_dialog.h"

namespace T = Ids::Tags;

// The tags dialog: the line and face lists from the controller's face masks, the shown
// face tags without their leading colons and blanks, and Apply storing both tags in the
// sign system without a word to the controller.
class TagsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_site.reset(); }

    void OpensOnLineZeroAskingOnlyTheStatus();
    void FaceListFollowsTheLinesMask_data();
    void FaceListFollowsTheLinesMask();
    void FaceTagIsShownWithoutLeadingColonsAndBlanks_data();
    void FaceTagIsShownWithoutLeadingColonsAndBlanks();
    void ApplyStoresBothTagsAndAsksForARedraw();
    void AnotherLineOrFaceDropsUnappliedEdits();
    void LineOnNoFaceStoresOnlyTheLineTag();
    void CancelAfterApplyKeepsTheAppliedTags();
    void LinesBeyondTheEighthAreNotListed();
    void TagBoxesTakeNoMoreThanATagHolds();
    void LineTagTheSettingsFileCannotKeepIsRefusedNotCut_data();
    void LineTagTheSettingsFileCannotKeepIsRefusedNotCut();

private:
    std::unique_ptr<TagsDialog> Open();

    std::unique_ptr<DialogSite> m_site;
};

void TagsDialogTest::init() {
    m_site = std::make_unique<DialogSite>();
    m_site->SetLines(6, {0x16, 0x03, 0x00, 0x80, 0x01, 0x01});
    for (int i = 0; i < 8; ++i) {
        m_site->system.SetLineTag(i, "Line tag " + std::to_string(i));
        m_site->system.SetFaceTag(i, "Face tag " + std::to_string(i));
    }
    m_site->system.SetLineTagsDisplayPending(false);
}

std::unique_ptr<TagsDialog> TagsDialogTest::Open() {
    auto dialog = std::make_unique<TagsDialog>(m_site->system);
    dialog->Initialise();
    dialog->show();
    return dialog;
}

void TagsDialogTest::OpensOnLineZeroAskingOnlyTheStatus() {
    auto dialog = Open();
    QCOMPARE(m_site->Requests(), QStringList({"34"}));
    QCOMPARE(Items(dialog.get(), T::kLineList), QStringList({"0", "1", "2", "3", "4", "5"}));
    QCOMPARE(Selected(dialog.get(), T::kLineList), QString("0"));
    QCOMPARE(TextOf(dialog.get(), T::kLineTag), QString("Line tag 0"));
    QCOMPARE(TextOf(dialog.get(), T::kFaceTag), QString("Face tag 1"));
}

void TagsDialogTest::FaceListFollowsTheLinesMask_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("faces");
    QTest::addColumn<QString>("faceTag");
    QTest::newRow("0x16") << "0" << QStringList{"1", "2", "4"} << "Face tag 1";
    QTest::newRow("0x03") << "1" << QStringList{"0", "1"} << "Face tag 0";
    QTest::newRow("0x80") << "3" << QStringList{"7"} << "Face tag 7";
}

void TagsDialogTest::FaceListFollowsTheLinesMask() {
    QFETCH(QString, line);
    QFETCH(QStringList, faces);
    QFETCH(QString, faceTag);
    auto dialog = Open();
    Choose(dialog.get(), T::kLineList, line);
    QCOMPARE(Items(dialog.get(), T::kFaceList), faces);
    QCOMPARE(Selected(dialog.get(), T::kFaceList), faces.first());
    QCOMPARE(TextOf(dialog.get(), T::kLineTag), "Line tag " + line);
    QCOMPARE(TextOf(dialog.get(), T::kFaceTag), faceTag);
    QCOMPARE(m_site->Requests(), QStringList({"34"}));
}

void TagsDialogTest::FaceTagIsShownWithoutLeadingColonsAndBlanks_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("colon and blank") << ": North"
                                     << "North";
    QTest::newRow("several") << " :: : North side"
                             << "North side";
    QTest::newRow("inside kept") << "North: side "
                                 << "North: side ";
    QTest::newRow("nothing else") << " : "
                                  << "";
}

void TagsDialogTest::FaceTagIsShownWithoutLeadingColonsAndBlanks() {
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    m_site->system.SetFaceTag(2, stored.toStdString());
    auto dialog = Open();
    Choose(dialog.get(), T::kFaceList, "2");
    QCOMPARE(TextOf(dialog.get(), T::kFaceTag), shown);
    // Showing leaves the stored tag alone; Apply stores the box's text as it stands.
    QCOMPARE(QString::fromStdString(m_site->system.GetFaceTag(2)), stored);
    Click(dialog.get(), Ids::Result::kApply);
    QCOMPARE(QString::fromStdString(m_site->system.GetFaceTag(2)), shown);
}

void TagsDialogTest::ApplyStoresBothTagsAndAsksForARedraw() {
    auto dialog = Open();
    Choose(dialog.get(), T::kLineList, "1");
    Type(dialog.get(), T::kLineTag, " Diesel ");
    Choose(dialog.get(), T::kFaceList, "1");
    Type(dialog.get(), T::kFaceTag, "South");
    Click(dialog.get(), Ids::Result::kApply);

    QVERIFY(dialog->isVisible());
    QCOMPARE(m_site->system.GetLineTag(1), std::string(" Diesel "));
    QCOMPARE(m_site->system.GetFaceTag(1), std::string("South"));
    QCOMPARE(m_site->system.GetLineTag(0), std::string("Line tag 0"));
    QCOMPARE(m_site->system.GetFaceTag(0), std::string("Face tag 0"));
    QVERIFY(m_site->system.LineTagsDisplayPending());

    // Unchanged boxes are stored again and still ask for the redraw.
    m_site->system.SetLineTagsDisplayPending(false);
    Click(dialog.get(), Ids::Result::kOk);
    QCOMPARE(dialog->result(), Ids::Result::kOk);
    QVERIFY(m_site->system.LineTagsDisplayPending());
    QCOMPARE(m_site->system.GetLineTag(1), std::string(" Diesel "));
    QCOMPARE(m_site->Requests(), QStringList({"34"}));
}

void TagsDialogTest::AnotherLineOrFaceDropsUnappliedEdits() {
    auto dialog = Open();
    Type(dialog.get(), T::kLineTag, "typed");
    Type(dialog.get(), T::kFaceTag, "typed");
    Choose(dialog.get(), T::kFaceList, "4");
    QCOMPARE(TextOf(dialog.get(), T::kFaceTag), QString("Face tag 4"));
    QCOMPARE(TextOf(dialog.get(), T::kLineTag), QString("typed"));
    Choose(dialog.get(), T::kLineList, "4");
    QCOMPARE(TextOf(dialog.get(), T::kLineTag), QString("Line tag 4"));
    Choose(dialog.get(), T::kLineList, "0");
    QCOMPARE(TextOf(dialog.get(), T::kLineTag), QString("Line tag 0"));
    QCOMPARE(m_site->system.GetLineTag(0), std::string("Line tag 0"));
    QCOMPARE(m_site->system.GetFaceTag(1), std::string("Face tag 1"));
}

void TagsDialogTest::LineOnNoFaceStoresOnlyTheLineTag() {
    auto dialog = Open();
    Choose(dialog.get(), T::kLineList, "2");
    QVERIFY(Items(dialog.get(), T::kFaceList).isEmpty());
    auto *faceTag = Child<QLineEdit>(dialog.get(), T::kFaceTag);
    QVERIFY(!faceTag->isEnabled());
    QCOMPARE(faceTag->text(), QString());
    Type(dialog.get(), T::kLineTag, "Kerosene");
    Click(dialog.get(), Ids::Result::kApply);
    QCOMPARE(m_site->system.GetLineTag(2), std::string("Kerosene"));
    for (int face = 0; face < 8; ++face)
        QCOMPARE(m_site->system.GetFaceTag(face), "Face tag " + std::to_string(face));

    // The next line with faces gives the box back.
    Choose(dialog.get(), T::kLineList, "3");
    QVERIFY(faceTag->isEnabled());
    QCOMPARE(faceTag->text(), QString("Face tag 7"));
}

void TagsDialogTest::CancelAfterApplyKeepsTheAppliedTags() {
    auto dialog = Open();
    Type(dialog.get(), T::kLineTag, "Regular");
    Click(dialog.get(), Ids::Result::kApply);
    Type(dialog.get(), T::kLineTag, "Not this");
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QCOMPARE(dialog->result(), Ids::Result::kCancel);
    QCOMPARE(m_site->system.GetLineTag(0), std::string("Regular"));
}

void TagsDialogTest::LinesBeyondTheEighthAreNotListed() {
    m_site->SetLines(11, {});
    auto dialog = Open();
    QCOMPARE(Items(dialog.get(), T::kLineList),
             QStringList({"0", "1", "2", "3", "4", "5", "6", "7"}));
}

void TagsDialogTest::TagBoxesTakeNoMoreThanATagHolds() {
    auto dialog = Open();
    for (int id : {T::kLineTag, T::kFaceTag}) {
        Type(dialog.get(), id, QString(300, 'x'));
        QCOMPARE(TextOf(dialog.get(), id).size(), 255);
        // Two bytes each in UTF-8: a tag never ends in half a character.
        auto *edit = Child<QLineEdit>(dialog.get(), id);
        edit->clear();
        for (int i = 0; i < 200; ++i)
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_Eacute, QString(QChar(0x00E9)),
                                Qt::NoModifier);
        QCOMPARE(edit->text().toUtf8().size(), 254);
    }
    Click(dialog.get(), Ids::Result::kApply);
    QCOMPARE(QString::fromStdString(m_site->system.GetFaceTag(1)), QString(127, QChar(0x00E9)));
}

void TagsDialogTest::LineTagTheSettingsFileCannotKeepIsRefusedNotCut_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("stored");
    QTest::newRow("blank and full stop") << "Super .Unleaded" << false;
    QTest::newRow("at the end") << "Super ." << false;
    QTest::newRow("leader dots typed") << "Diesel ......" << false;
    QTest::newRow("full stop without a blank") << "No.2 Diesel" << true;
    QTest::newRow("blank after a full stop") << "St. Anne" << true;
}

void TagsDialogTest::LineTagTheSettingsFileCannotKeepIsRefusedNotCut() {
    QFETCH(QString, typed);
    QFETCH(bool, stored);
    auto dialog = Open();
    Type(dialog.get(), T::kLineTag, typed);
    Type(dialog.get(), T::kFaceTag, "North");
    Click(dialog.get(), Ids::Result::kOk);

    QCOMPARE(m_site->system.GetLineTag(0), stored ? typed.toStdString() : "Line tag 0");
    QCOMPARE(Messages(m_site->console),
             stored ? QStringList{} : QStringList{TagsDialog::kLineTagRefusedText});
    // The face tag is a tag of its own, and goes in all the same.
    QCOMPARE(m_site->system.GetFaceTag(1), std::string("North"));
    QCOMPARE(dialog->result(), Ids::Result::kOk);
}

QTEST_MAIN(TagsDialogTest)
#include "widget_tags_dialog_test.moc"
