#pragma once

#include <cstdint>
#include <optional>
#include <set>

// Misbehaviour the simulated controller can be told to show. Everything is off by
// default, and every field may be changed between any two calls into the endpoint: the
// endpoint reads the plan afresh at each byte and each reply.
//
// Request byte positions are 0-21, the index of the byte within the 22-byte frame.
struct FaultPlan {
    // Never answers anything: no ACK, no reply.
    bool silent = false;

    // Probability (0 to 1) of answering a request byte with NAK instead of ACK, drawn
    // from the endpoint's seeded generator, so a run repeats itself exactly.
    double nakRate = 0.0;

    // Request byte positions answered with NAK once per frame; the repeat is ACKed.
    std::set<int> nakAt;

    // Request byte positions answered with kJunkAnswer instead of ACK once per frame.
    std::set<int> junkAnswerAt;

    // Send reply bytes 0..k, then fall silent for that reply.
    std::optional<int> stopAfterReplyByte;

    // Every reply goes out with its checksum inverted.
    bool corruptChecksum = false;

    // Every reply carries this command code instead of its request's (checksum made to
    // match), as from a controller that answers the wrong question.
    std::optional<std::uint8_t> replyCode;

    // Bytes of line noise sent just before a reply's first sync byte (never 0xD6).
    int junkBeforeSync = 0;

    // When set, Get CC status reports this code byte (with its text) instead of the
    // controller's own condition, for as long as it stays set.
    std::optional<std::uint8_t> ccStatusCode;

    // The status byte of the next forcedStatusCount replies (-1: every reply). A reply
    // with a forced status carries no data and the command is not carried out, as when
    // the real controller reports a failure. The count goes down by one per reply.
    std::uint8_t forcedStatus = 0;
    int forcedStatusCount = 0;
    // When set, only replies to this command get the forced status, and only they count.
    std::optional<std::uint8_t> forcedStatusCommand;

    // When set, Get NVRAM size reports this many bytes whatever the memory holds, as a
    // controller whose size report and memory disagree would.
    std::optional<std::uint16_t> reportedNvramSize;

    // The sign test finds failing segments.
    bool signTestFails = false;

    // Set line price is acknowledged, but the line keeps a different price than it was
    // sent: the first digit the format leaves free goes one up (9 to 0), so 3.459 is
    // stored as 4.459. Get line price then reports the stored price.
    bool manglePrice = false;

    // The line is cut once the controller has taken this many bytes from the workstation,
    // request bytes and acknowledgements alike, as when the cable is pulled: the last of
    // them gets no answer, and nothing is answered any more. voxa-ccsim closes its side of
    // the line then, so the workstation's port reports a hang-up and cannot be opened again.
    std::optional<int> unplugAfterBytes;

    static constexpr std::uint8_t kJunkAnswer = 0x55;
};
