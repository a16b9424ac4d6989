#pragma once

#include <string>

class SignSystem;

// What the workstation does with each problem code: a fixed message, a quiet resend of
// the last frame, or the NVRAM update offer.
class StatusHandler {
public:
    // Quiet resends before a communication failure is shown.
    static constexpr int kQuietResends = 3;

    explicit StatusHandler(SignSystem &system) : m_system(system) {}

    void Handle(int code);

    // The message shown for a code, or an empty text when the code shows none by itself.
    static std::string MessageFor(int code, int lastCommandCode);

private:
    void OfferNvramUpdate();
    void CountFailure(int code);

    SignSystem &m_system;
};
