#pragma once

#include <QString>

// One character cell of a CmEdit mask.
struct MaskPosition {
    // For an input cell, the characters that may be typed into it, in the order the mask lists
    // them; for a literal cell, its one fixed character.
    QString allowed;
    bool literal = false;
};
