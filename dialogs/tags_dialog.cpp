#include "tags_dialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include "entry_text.h"
#include "face_list.h"
#include "resource_ids.h"
#include "sign_system.h"
#include "text_room_validator.h"

TagsDialog::TagsDialog(SignSystem &system, QWidget *parent)
    : ControllerDialog(system, Ids::Dialog::kTags, "Change Sign Tags", {311, 89}, parent) {
    namespace T = Ids::Tags;
    // A tag keeps at most this many bytes; the boxes take no more, so that a stored tag is
    // never cut short, or cut inside a character, without the user seeing it.
    constexpr int kTagBytes = SignSystem::kTagRoom - 1;
    ControlBuilder &b = Build();
    b.GroupBox("Sign Tags", {7, 4, 297, 50});
    b.Static("Line:", {14, 20, 32, 8});
    b.Static("Face:", {52, 20, 32, 8});
    b.Static("Line Tag:", {90, 20, 104, 8});
    b.Static("Face Tag:", {198, 20, 98, 8});
    m_lines = b.DropDownList(T::kLineList, {}, {14, 31, 32, 70});
    m_faces = b.DropDownList(T::kFaceList, {}, {52, 31, 32, 70});
    m_lineTag = b.Edit(T::kLineTag, {90, 31, 104, 12});
    m_lineTag->setValidator(new TextRoomValidator(kTagBytes, m_lineTag));
    m_faceTag = b.Edit(T::kFaceTag, {198, 31, 98, 12});
    m_faceTag->setValidator(new TextRoomValidator(kTagBytes, m_faceTag));
    AddOkButton({146, 66, 50, 14});
    AddApplyButton({200, 66, 50, 14});
    AddCancelButton({254, 66, 50, 14});
    connect(m_lines, &QComboBox::currentIndexChanged, this, &TagsDialog::ShowSelectedLine);
    connect(m_faces, &QComboBox::currentIndexChanged, this, &TagsDialog::ShowSelectedFace);
    m_lines->setFocus();
}

void TagsDialog::Read() {
    {
        const QSignalBlocker quiet(m_lines);
        for (int line = 0; line < System().InstalledLineCount(); ++line) {
            m_lines->addItem(QString::number(line));
        }
        m_lines->setCurrentIndex(m_lines->count() > 0 ? 0 : -1);
    }
    ShowSelectedLine();
}

int TagsDialog::SelectedLine() const {
    return m_lines->currentIndex() < 0 ? -1 : EntryText::ToInt(m_lines->currentText());
}

int TagsDialog::SelectedFace() const {
    return m_faces->currentIndex() < 0 ? -1 : EntryText::ToInt(m_faces->currentText());
}

void TagsDialog::ShowSelectedLine() {
    const int line = SelectedLine();
    m_lineTag->setEnabled(line >= 0);
    m_lineTag->setText(line >= 0 ? QString::fromStdString(System().GetLineTag(line)) : QString());
    {
        const QSignalBlocker quiet(m_faces);
        m_faces->clear();
        if (line >= 0) {
            for (int face : FaceList::FacesIn(System().GetFaceMask(line))) {
                m_faces->addItem(QString::number(face));
            }
        }
        m_faces->setCurrentIndex(m_faces->count() > 0 ? 0 : -1);
        m_faces->setEnabled(m_faces->count() > 0);
    }
    ShowSelectedFace();
}

void TagsDialog::ShowSelectedFace() {
    // A line shown on no face leaves no face to name: the box stays empty and unused.
    const int face = SelectedFace();
    m_faceTag->setEnabled(face >= 0);
    m_faceTag->setText(face >= 0 ? EntryText::WithoutLeadingColonsAndBlanks(
                                       QString::fromStdString(System().GetFaceTag(face)))
                                 : QString());
}

void TagsDialog::Apply() {
    if (const int line = SelectedLine(); line >= 0) {
        const QString tag = m_lineTag->text();
        if (tag.contains(kForbiddenInLineTag)) {
            // Refused whole rather than cut: a tag is stored as it was typed, or not at all.
            ShowMessage(kLineTagRefusedText);
        } else {
            const std::string before = System().GetLineTag(line);
            System().SetLineTag(line, tag.toStdString());
            if (before != System().GetLineTag(line)) {
                System().RecordChange("line tag (line " + std::to_string(line + 1) + ")", before,
                                      System().GetLineTag(line), "done");
            }
        }
    }
    if (const int face = SelectedFace(); face >= 0) {
        const std::string before = System().GetFaceTag(face);
        System().SetFaceTag(face, m_faceTag->text().toStdString());
        if (before != System().GetFaceTag(face)) {
            System().RecordChange("face tag (face " + std::to_string(face) + ")", before,
                                  System().GetFaceTag(face), "done");
        }
    }
    System().SetLineTagsDisplayPending(true);
}
