#include "simulated_site.h"

std::vector<CommandFrame> SimulatedSite::SentFrames() const
{
    using Kind = SimLinkPlatform::LineEvent::Kind;
    std::vector<CommandFrame> frames;
    std::vector<std::uint8_t> segment;
    for (const auto &event : platform.Events()) {
        if (event.kind == Kind::Open) {
            segment.clear();
        } else if (event.kind == Kind::Write) {
            segment.push_back(event.byte);
        } else if (event.kind == Kind::Close && segment.size() == kFrameSize &&
                   segment[0] == kSyncByte1 && segment[1] == kSyncByte2) {
            CommandFrame frame;
            std::copy(segment.begin(), segment.end(), frame.bytes.begin());
            frames.push_back(frame);
        }
    }
    return frames;
}

std::vector<int> SimulatedSite::SentCodes() const
{
    std::vector<int> codes;
    for (const auto &frame : SentFrames()) codes.push_back(frame.Code());
    return codes;
}
