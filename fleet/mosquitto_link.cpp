#include "mosquitto_link.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

void InitialiseLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

const char *ConnackText(int code) {
    switch (code) {
        case 1:
            return "the broker does not speak this version of MQTT";
        case 2:
            return "the broker refused the client id";
        case 3:
            return "the broker is unavailable";
        case 4:
            return "the broker refused the user name or password";
        case 5:
            return "the broker refused: not authorised (user name, password or ACL)";
        default:
            return "the broker refused the connection";
    }
}

}  // namespace

MosquittoLink::MosquittoLink() {
    InitialiseLibrary();
}

MosquittoLink::~MosquittoLink() {
    if (m_client != nullptr) mosquitto_destroy(m_client);
    // The password is wiped from our copy; the library's own copy goes with the client.
    std::fill(m_settings.password.begin(), m_settings.password.end(), '\0');
}

std::string MosquittoLink::ErrorText(int code) {
    if (code == MOSQ_ERR_ERRNO) {
        return std::string("(") + std::to_string(errno) + ") " + std::strerror(errno);
    }
    return mosquitto_strerror(code);
}

bool MosquittoLink::Open(const Settings &settings, Handlers handlers, std::string &problem) {
    m_settings = settings;
    m_handlers = std::move(handlers);
    m_client = mosquitto_new(settings.clientId.c_str(), settings.cleanSession, this);
    if (m_client == nullptr) {
        problem = "Open(): mosquitto_new() failed: (" + std::to_string(errno) + ") " +
                  std::strerror(errno);
        return false;
    }
    mosquitto_connect_callback_set(m_client, &MosquittoLink::OnConnect);
    mosquitto_disconnect_callback_set(m_client, &MosquittoLink::OnDisconnect);
    mosquitto_message_callback_set(m_client, &MosquittoLink::OnMessage);
    mosquitto_publish_callback_set(m_client, &MosquittoLink::OnPublish);
    mosquitto_subscribe_callback_set(m_client, &MosquittoLink::OnSubscribe);
    if (!settings.user.empty()) {
        const int rc = mosquitto_username_pw_set(
            m_client, settings.user.c_str(),
            settings.password.empty() ? nullptr : settings.password.c_str());
        if (rc != MOSQ_ERR_SUCCESS) {
            problem = "Open(): mosquitto_username_pw_set() failed: " + ErrorText(rc);
            return false;
        }
    }
    if (settings.tls) {
        for (const auto &[name, path] :
             {std::pair{"CaFile", settings.caFile}, std::pair{"CertFile", settings.certFile},
              std::pair{"KeyFile", settings.keyFile}}) {
            if (!path.empty() && !std::filesystem::is_regular_file(path)) {
                problem = std::string("[Fleet] ") + name + "=" + path.string() +
                          " is not a file that can be read";
                return false;
            }
        }
        const std::string ca = settings.caFile.string();
        const std::string cert = settings.certFile.string();
        const std::string key = settings.keyFile.string();
        const int rc = mosquitto_tls_set(
            m_client, ca.empty() ? nullptr : ca.c_str(), ca.empty() ? "/etc/ssl/certs" : nullptr,
            cert.empty() ? nullptr : cert.c_str(), key.empty() ? nullptr : key.c_str(), nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            problem = "Open(): mosquitto_tls_set() failed: " + ErrorText(rc);
            return false;
        }
        if (!settings.verifyBroker) {
            // SSL_VERIFY_NONE: neither the certificate's signature nor its name is checked.
            mosquitto_tls_opts_set(m_client, 0, nullptr, nullptr);
            mosquitto_tls_insecure_set(m_client, true);
        }
    }
    if (!settings.willTopic.empty()) SetWill(settings.willTopic, settings.willPayload);
    mosquitto_reconnect_delay_set(m_client, 1, 60, true);
    TryConnect();
    return true;
}

void MosquittoLink::SetWill(const std::string &topic, const std::string &payload) {
    if (m_client == nullptr) return;
    mosquitto_will_set(m_client, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1,
                       true);
}

void MosquittoLink::TryConnect() {
    const int rc = m_socketOpen
                       ? mosquitto_reconnect(m_client)
                       : mosquitto_connect(m_client, m_settings.host.c_str(), m_settings.port, 30);
    if (rc == MOSQ_ERR_SUCCESS) {
        m_socketOpen = true;
        return;
    }
    Lost("cannot reach the broker at " + m_settings.host + ":" + std::to_string(m_settings.port) +
         ": " + ErrorText(rc));
}

void MosquittoLink::Lost(const std::string &reason) {
    const bool was = m_connected;
    m_connected = false;
    m_nextTry = std::chrono::steady_clock::now() + m_retry;
    m_retry = std::min(m_retry * 2, std::chrono::seconds(kLongestRetry));
    if (was || reason != m_lastProblem) {
        m_lastProblem = reason;
        if (m_handlers.disconnected) m_handlers.disconnected(reason);
    }
}

void MosquittoLink::Loop(std::chrono::milliseconds limit) {
    if (m_client == nullptr) return;
    if (!m_socketOpen || (!m_connected && mosquitto_socket(m_client) < 0)) {
        if (std::chrono::steady_clock::now() >= m_nextTry) {
            TryConnect();
        } else {
            std::this_thread::sleep_for(limit);
            return;
        }
        if (!m_socketOpen) return;
    }
    m_refused = false;
    const int rc = mosquitto_loop(m_client, static_cast<int>(limit.count()), 1);
    if (m_refused) return;  // told with the broker's reason by OnConnect()
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN) {
        Lost("lost the broker at " + m_settings.host + ":" + std::to_string(m_settings.port) +
             ": " + ErrorText(rc));
    } else if (rc == MOSQ_ERR_NO_CONN) {
        Lost("not connected to the broker at " + m_settings.host + ":" +
             std::to_string(m_settings.port));
        std::this_thread::sleep_for(limit);
    }
}

void MosquittoLink::Close() {
    if (m_client != nullptr && m_connected) {
        mosquitto_disconnect(m_client);
        // Lets the goodbye go out.
        mosquitto_loop(m_client, 100, 1);
    }
    m_connected = false;
}

std::optional<int> MosquittoLink::Publish(const std::string &topic, const std::string &payload,
                                          bool retain) {
    if (!m_connected) return std::nullopt;
    int id = 0;
    const int rc = mosquitto_publish(m_client, &id, topic.c_str(), static_cast<int>(payload.size()),
                                     payload.data(), 1, retain);
    if (rc != MOSQ_ERR_SUCCESS) return std::nullopt;
    return id;
}

bool MosquittoLink::Subscribe(const std::string &topic) {
    if (!m_connected) return false;
    return mosquitto_subscribe(m_client, nullptr, topic.c_str(), 1) == MOSQ_ERR_SUCCESS;
}

void MosquittoLink::OnConnect(mosquitto * /*client*/, void *self, int code) {
    auto *link = static_cast<MosquittoLink *>(self);
    if (code != 0) {
        link->m_refused = true;
        link->Lost(std::string(ConnackText(code)) + " (" + link->m_settings.host + ":" +
                   std::to_string(link->m_settings.port) + ", user " + link->m_settings.user + ")");
        return;
    }
    link->m_connected = true;
    link->m_retry = kFirstRetry;
    link->m_lastProblem.clear();
    if (link->m_handlers.connected) link->m_handlers.connected();
}

void MosquittoLink::OnDisconnect(mosquitto * /*client*/, void *self, int code) {
    auto *link = static_cast<MosquittoLink *>(self);
    // A goodbye of ours, or the end of a connection the broker refused (said already).
    if (code == 0 || !link->m_connected) {
        link->m_connected = false;
        return;
    }
    link->Lost("lost the broker at " + link->m_settings.host + ":" +
               std::to_string(link->m_settings.port) + ": " + ErrorText(code));
}

void MosquittoLink::OnMessage(mosquitto * /*client*/, void *self,
                              const struct mosquitto_message *message) {
    auto *link = static_cast<MosquittoLink *>(self);
    if (!link->m_handlers.message || message == nullptr || message->topic == nullptr) return;
    const std::string payload(static_cast<const char *>(message->payload),
                              static_cast<std::size_t>(std::max(message->payloadlen, 0)));
    link->m_handlers.message(message->topic, payload);
}

void MosquittoLink::OnPublish(mosquitto * /*client*/, void *self, int messageId) {
    auto *link = static_cast<MosquittoLink *>(self);
    if (link->m_handlers.delivered) link->m_handlers.delivered(messageId);
}

void MosquittoLink::OnSubscribe(mosquitto * /*client*/, void *self, int /*messageId*/,
                                int /*count*/, const int * /*granted*/) {
    auto *link = static_cast<MosquittoLink *>(self);
    if (link->m_handlers.subscribed) link->m_handlers.subscribed();
}
