#pragma once

#include <chrono>
#include <string>
#include <vector>

// One figure of the bench: the times of its runs, their median, and the floor the protocol
// sets for the same work.
//
// The floor of one transaction is what the handshake cannot do without: the last exchange
// of every reply waits out its full read limit (500 ms) for a byte that does not come, the
// controller takes its reply delay, and on a real line every byte of the handshake takes
// its time on the wire. Of the 88 bytes (22 request bytes, their 22 ACKs, 22 reply bytes,
// their 22 ACKs) the last ACK travels while the closing read waits, and the last request
// ACK while the controller prepares its reply, so 86 byte times plus the longer of the
// reply delay and one byte time come before that closing wait.
class Measurement {
public:
    using Nanos = std::chrono::nanoseconds;

    static constexpr Nanos kClosingRead = std::chrono::milliseconds(500);

    static Nanos TransactionFloor(Nanos byteTime, Nanos replyDelay);

    Measurement(std::string name, int transactions, Nanos transactionFloor);

    void Add(Nanos sample) { m_samples.push_back(sample); }
    const std::vector<Nanos> &Samples() const { return m_samples; }
    // The middle sample; the mean of the middle two for an even count; zero for none.
    Nanos Median() const;
    Nanos Floor() const { return m_transactions * m_transactionFloor; }
    // Median over floor.
    double Ratio() const;

    // "one transaction (1)   0.503 s   0.500 s   1.006   0.503 0.503 0.504"
    std::string Row() const;
    static std::string Header();

private:
    std::string m_name;
    int m_transactions;
    Nanos m_transactionFloor;
    std::vector<Nanos> m_samples;
};
