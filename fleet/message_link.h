#pragma once

#include <optional>
#include <string>

// The agent's side of the broker: publish and subscribe at QoS 1. The program's is
// MosquittoLink; tests record.
class MessageLink {
public:
    virtual ~MessageLink() = default;

    virtual bool IsConnected() const = 0;
    // Hands a message to the broker; the id that Delivered() will name once the broker
    // has it, or nothing when it could not be handed over (not connected).
    virtual std::optional<int> Publish(const std::string &topic, const std::string &payload,
                                       bool retain) = 0;
    virtual bool Subscribe(const std::string &topic) = 0;
};
