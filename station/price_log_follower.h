#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "price_log_file.h"

// Learns from the price log the prices other programs put on the sign: voxa-ctl, the
// station agent, another workstation. Each call reads only what was added to the log since
// the last one, so a log of any length costs the same few bytes a call.
//
// A change is a line whose outcome says the controller took the price ("sent" or
// "confirmed"); lines this program's own log wrote are not changes. A line still "sending"
// is watched until its outcome is written into it; a line still being written (no line end
// yet) is read again once whole. When the log in use moves to another file (its file was
// replaced by one that is not ours, and the log goes to voxa-prices-1.csv), the new file is
// followed from its start, taking only the lines written since following began.
class PriceLogFollower {
public:
    struct Change {
        int line = 0;  // 1-8
        std::string price;
        std::string source;
        std::string user;
        std::string time;  // as the log has it: ISO 8601 local time with its offset
    };

    // At most this many lines still "sending" are watched; the oldest goes first.
    static constexpr std::size_t kWatchedLines = 16;

    // log is the one this program appends to: its own lines are known by where they went,
    // and the file it logs to is the file followed.
    explicit PriceLogFollower(PriceLogFile &log) : m_log(log) {}

    // Starts at the end of the log: what it holds already is not a change to follow, but
    // a last line still "sending" is watched. now is the moment following begins.
    void Start(std::time_t now);
    // The changes others made since the last call, oldest first. notice gets a text to show
    // when the log had to move to another file (empty otherwise); a log that cannot be read
    // gives no changes and Problem() says why.
    std::vector<Change> Poll(std::string &notice);

    const std::string &Problem() const { return m_problem; }
    // Bytes read from the log by Poll() since Start().
    std::int64_t BytesRead() const { return m_bytesRead; }

    // The moment an ISO 8601 time of the log stands for; nothing for any other text.
    static std::optional<std::time_t> TimeOf(const std::string &text);
    // Whether an outcome of the log says the controller took the price.
    static bool TakenOutcome(const std::string &outcome);

private:
    // A line of another program whose outcome is not in yet.
    // Its outcome comes in its place, or (once other lines followed it) as a line of its own
    // with the same time, program, user, line and price, which key names.
    struct Watched {
        std::int64_t begin = 0;
        std::int64_t end = 0;
        std::string key;
    };
    static std::string KeyOf(const PriceLogFile::Entry &entry);
    // A line read, waiting to be taken until it is known whether it was the last.
    struct Held {
        std::int64_t begin = 0;
        std::int64_t end = 0;
        PriceLogFile::Entry entry;
    };

    // Reads the followed file from mark on (up to until), taking each line.
    PriceLogFile::NewLines ReadWith(PriceLogFile::ReadMark &mark, std::vector<Change> &changes,
                                    std::string &reason, std::int64_t &read,
                                    std::int64_t until = std::numeric_limits<std::int64_t>::max());
    void ReadOn(std::vector<Change> &changes);
    // Hands on the line at begin when it is a change of another program's and nothing
    // later changed its line. A line still "sending" is watched; true when it is the last
    // line read (it is read again from its start: its outcome may come in with the line
    // shortened). Own lines note where their line was last changed.
    bool Take(std::int64_t begin, std::int64_t end, PriceLogFile::Entry &&entry, bool last,
              std::vector<Change> &changes);
    void CheckWatched(std::vector<Change> &changes);
    // Starts over at the start of the file the log uses now; with sinceStart only what was
    // written since following began is a change.
    void StartOver(bool sinceStart);

    PriceLogFile &m_log;
    PriceLogFile::ReadMark m_mark;
    std::vector<Watched> m_watched;
    // Where each line's price was last changed, by this program or another, in the file
    // followed: a "sending" line whose outcome comes in later does not undo a later change.
    std::array<std::int64_t, 8> m_lastChange{-1, -1, -1, -1, -1, -1, -1, -1};
    // Lines written before this moment are not changes (in a file followed from its start).
    std::optional<std::time_t> m_since;
    std::time_t m_start = 0;
    bool m_started = false;
    // Reading what the log held at the start: nothing in it is a change.
    bool m_history = false;
    // A file not ours in the log's place that the log could not move on from.
    std::filesystem::path m_gaveUpOn;
    std::string m_problem;
    std::int64_t m_bytesRead = 0;
};
