#pragma once

#include <QString>
#include <cstdint>
#include <vector>

class SignSystem;

// The faces that show price lines, as the face lists of the intensity wizard and the tags
// dialog offer them. A line's face mask has bit k set when the line is shown on face k.
namespace FaceList {

// Faces 0-7 whose bit is set in the mask, lowest first.
std::vector<int> FacesIn(std::uint8_t mask);
// The faces of every installed line together.
std::uint8_t FacesInUse(const SignSystem &system);
// A face's item in the intensity wizard: "k: " and the face's tag.
QString TaggedItem(const SignSystem &system, int face);
// The face an item names: its leading decimal digits, 0 for an empty text.
int FaceOfItem(const QString &item);

}  // namespace FaceList
