#include "face_list.h"

#include "entry_text.h"
#include "sign_system.h"

std::vector<int> FaceList::FacesIn(std::uint8_t mask) {
    std::vector<int> faces;
    for (int face = 0; face < SignSystem::kFaces; ++face) {
        if ((mask >> face) & 1) faces.push_back(face);
    }
    return faces;
}

std::uint8_t FaceList::FacesInUse(const SignSystem &system) {
    std::uint8_t faces = 0;
    for (int line = 0; line < system.InstalledLineCount(); ++line) {
        faces |= system.GetFaceMask(line);
    }
    return faces;
}

QString FaceList::TaggedItem(const SignSystem &system, int face) {
    return QString::number(face) + ": " + QString::fromStdString(system.GetFaceTag(face));
}

int FaceList::FaceOfItem(const QString &item) {
    return EntryText::ToInt(item);
}
