#include "measurement.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kNameWidth = 34;

std::string Seconds(Measurement::Nanos time) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", std::chrono::duration<double>(time).count());
    return text;
}

}  // namespace

Measurement::Nanos Measurement::TransactionFloor(Nanos byteTime, Nanos replyDelay) {
    if (byteTime == Nanos::zero()) return kClosingRead + replyDelay;
    return kClosingRead + 86 * byteTime + std::max(replyDelay, byteTime);
}

Measurement::Measurement(std::string name, int transactions, Nanos transactionFloor)
    : m_name(std::move(name)), m_transactions(transactions), m_transactionFloor(transactionFloor) {}

Measurement::Nanos Measurement::Median() const {
    if (m_samples.empty()) return Nanos::zero();
    std::vector<Nanos> sorted = m_samples;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t middle = sorted.size() / 2;
    if (sorted.size() % 2 == 1) return sorted[middle];
    return (sorted[middle - 1] + sorted[middle]) / 2;
}

double Measurement::Ratio() const {
    const Nanos floor = Floor();
    if (floor == Nanos::zero()) return 0.0;
    return std::chrono::duration<double>(Median()) / std::chrono::duration<double>(floor);
}

std::string Measurement::Header() {
    char text[160];
    std::snprintf(text, sizeof text, "%-*s %10s %10s %7s   %s", kNameWidth, "work (transactions)",
                  "median s", "floor s", "ratio", "runs s");
    return text;
}

std::string Measurement::Row() const {
    const std::string name = m_name + " (" + std::to_string(m_transactions) + ")";
    char text[160];
    std::snprintf(text, sizeof text, "%-*s %10s %10s %7.3f  ", kNameWidth, name.c_str(),
                  Seconds(Median()).c_str(), Seconds(Floor()).c_str(), Ratio());
    std::string row = text;
    for (const Nanos sample : m_samples) row += " " + Seconds(sample);
    return row;
}
