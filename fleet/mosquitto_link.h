#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "message_link.h"

struct mosquitto;

// The broker through libmosquitto, on the calling thread: Loop() does the network's work
// and calls the handlers, and a lost connection is taken up again with a growing pause
// (1 s, doubled up to a minute), so a broker that restarts finds its agents back.
class MosquittoLink : public MessageLink {
public:
    struct Settings {
        std::string host;
        int port = 8883;
        bool tls = true;
        std::filesystem::path caFile;
        std::filesystem::path certFile;
        std::filesystem::path keyFile;
        // Off only when the settings say so: the broker's certificate is not checked.
        bool verifyBroker = true;
        std::string clientId;
        std::string user;
        std::string password;
        // Off for the agent: the broker keeps its subscription and QoS 1 messages while
        // it is away.
        bool cleanSession = false;
        std::string willTopic;
        std::string willPayload;
    };
    struct Handlers {
        std::function<void()> connected;
        std::function<void(const std::string &)> disconnected;  // with the reason
        std::function<void(const std::string &topic, const std::string &payload)> message;
        std::function<void(int messageId)> delivered;
        // The broker granted a subscription (retained messages follow at once).
        std::function<void()> subscribed;
    };

    static constexpr std::chrono::seconds kFirstRetry{1};
    static constexpr std::chrono::seconds kLongestRetry{60};

    MosquittoLink();
    ~MosquittoLink() override;
    MosquittoLink(const MosquittoLink &) = delete;
    MosquittoLink &operator=(const MosquittoLink &) = delete;

    // Sets the client up and starts the first connection; false with the reason when the
    // settings cannot be used (a missing certificate, say). A broker that cannot be
    // reached is not a failure: Loop() tries again.
    bool Open(const Settings &settings, Handlers handlers, std::string &problem);
    // Replaces the last will for the next connection.
    void SetWill(const std::string &topic, const std::string &payload);
    // Works the connection for up to limit.
    void Loop(std::chrono::milliseconds limit);
    // Sends the broker a goodbye (the last will is not published then).
    void Close();

    bool IsConnected() const override { return m_connected; }
    std::optional<int> Publish(const std::string &topic, const std::string &payload,
                               bool retain) override;
    bool Subscribe(const std::string &topic) override;

    // The library's words for an error code.
    static std::string ErrorText(int code);

private:
    static void OnConnect(mosquitto *client, void *self, int code);
    static void OnDisconnect(mosquitto *client, void *self, int code);
    static void OnMessage(mosquitto *client, void *self, const struct mosquitto_message *message);
    static void OnPublish(mosquitto *client, void *self, int messageId);
    static void OnSubscribe(mosquitto *client, void *self, int messageId, int count,
                            const int *granted);

    void Lost(const std::string &reason);
    void TryConnect();

    mosquitto *m_client = nullptr;
    Settings m_settings;
    Handlers m_handlers;
    bool m_connected = false;
    bool m_socketOpen = false;
    // The broker refused the connection in the last Loop().
    bool m_refused = false;
    std::chrono::steady_clock::time_point m_nextTry{};
    std::chrono::seconds m_retry = kFirstRetry;
    std::string m_lastProblem;
};
