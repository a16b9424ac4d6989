#pragma once

#include <optional>
#include <string>
#include <vector>

#include "message_link.h"

// A broker connection that records what the agent publishes and subscribes to, acknowledges
// nothing until told, and can be cut.
class FakeMessageLink : public MessageLink {
public:
    struct Published {
        std::string topic;
        std::string payload;
        bool retain = false;
        int id = 0;
    };

    bool IsConnected() const override { return m_connected; }
    std::optional<int> Publish(const std::string &topic, const std::string &payload,
                               bool retain) override {
        if (!m_connected) return std::nullopt;
        published.push_back({topic, payload, retain, ++m_lastId});
        return m_lastId;
    }
    bool Subscribe(const std::string &topic) override {
        if (!m_connected) return false;
        subscriptions.push_back(topic);
        return true;
    }

    void SetConnected(bool connected) { m_connected = connected; }
    // The published messages on topic, in order.
    std::vector<Published> On(const std::string &topic) const {
        std::vector<Published> found;
        for (const Published &message : published) {
            if (message.topic == topic) found.push_back(message);
        }
        return found;
    }

    std::vector<Published> published;
    std::vector<std::string> subscriptions;

private:
    bool m_connected = true;
    int m_lastId = 0;
};
