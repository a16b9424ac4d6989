#include "line_hold.h"

#include "link_platform.h"
#include "sign_system.h"

LineHold::LineHold(SignSystem &system, const std::string &activity)
    : m_platform(system.Platform()) {
    m_platform.BeginHold(activity);
}

LineHold::~LineHold() {
    m_platform.EndHold();
}

void LineHold::Progress(const std::string &progress) {
    m_platform.SetHoldProgress(progress);
}

void LineHold::LetGo() {
    m_platform.LetGoOfHold();
}
