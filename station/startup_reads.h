#pragma once

#include <array>
#include <optional>
#include <string>

class SignSystem;

// What the workstation asks the controller when it starts, in its order: the status, the
// number of lines and each line's format, each line's face mask, each line's price. The
// workstation's start-up runs these steps with its own work between them; voxa-ctl's
// report runs them in one go, and its price commands read the prices they change.
class StartupReads {
public:
    static constexpr int kLines = 8;

    explicit StartupReads(SignSystem &system) : m_system(system) {}

    // Get CC status; true when the controller wants its NVRAM updated.
    bool ReadStatus();
    // Get number of lines, then the format of each installed line, lines in order. Returns
    // the number of installed lines (the reported number, at most 8).
    int ReadLinesAndFormats();
    // The face mask of each installed line, lines in order.
    void ReadFaceMasks();
    // The price of each installed line, lines in order.
    void ReadPrices();
    // The price of one line (1-8); nothing when the controller did not give it.
    std::optional<std::string> ReadPrice(int line);

    // The price last read for a line; nothing when it was not read, or not answered.
    const std::optional<std::string> &Price(int line) const;

private:
    SignSystem &m_system;
    std::array<std::optional<std::string>, kLines> m_prices;
};
