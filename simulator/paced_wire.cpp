#include "paced_wire.h"

#include <algorithm>

void PacedWire::Put(std::uint8_t byte, Nanos now) {
    m_lastArrival = std::max(now, m_lastArrival) + m_byteTime;
    m_bytes.emplace_back(m_lastArrival, byte);
}

std::vector<std::uint8_t> PacedWire::TakeArrived(Nanos now) {
    std::vector<std::uint8_t> arrived;
    while (!m_bytes.empty() && m_bytes.front().first <= now) {
        arrived.push_back(m_bytes.front().second);
        m_bytes.pop_front();
    }
    return arrived;
}

std::optional<PacedWire::Nanos> PacedWire::NextArrival() const {
    if (m_bytes.empty()) {
        return std::nullopt;
    }
    return m_bytes.front().first;
}
