#pragma once

#include <string>

class LinkPlatform;
class SignSystem;

// Holds the sign system's line for an operation of several transactions, from its first
// transaction until this object goes, so that no other program's frame lands between two
// of them (LinkPlatform::BeginHold). The activity and the progress are what programs that
// wait for the line meanwhile are told: "loading an NVRAM image", "block 12 of 128".
class LineHold {
public:
    LineHold(SignSystem &system, const std::string &activity);
    ~LineHold();

    LineHold(const LineHold &) = delete;
    LineHold &operator=(const LineHold &) = delete;

    void Progress(const std::string &progress);
    // Lets the line go until the next transaction, while a person decides something.
    void LetGo();

private:
    LinkPlatform &m_platform;
};
