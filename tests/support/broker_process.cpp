#include "broker_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "file_contents.h"

namespace {

using namespace std::chrono_literals;

std::string MosquittoPath() {
    for (const char *path :
         {"/usr/sbin/mosquitto", "/usr/bin/mosquitto", "/usr/local/sbin/mosquitto"}) {
        if (access(path, X_OK) == 0) return path;
    }
    return {};
}

bool Accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected =
        connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

}  // namespace

int BrokerProcess::FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

BrokerProcess::BrokerProcess(std::filesystem::path folder, std::vector<std::string> sites)
    : m_folder(std::move(folder)), m_sites(std::move(sites)) {
    SetUp();
}

void BrokerProcess::SetUp() {
    m_port = FreePort();
    std::vector<std::string> args = {m_folder.string(), std::to_string(m_port)};
    args.insert(args.end(), m_sites.begin(), m_sites.end());
    ChildProcess setup(VOXA_FLEET_BROKER_SCRIPT, args);
    const auto status = setup.Finish(30s);
    if (status != 0) {
        m_problem = "scripts/fleet-broker failed: " + setup.ErrText();
        m_port = 0;
    }
}

BrokerProcess::~BrokerProcess() {
    Stop();
}

bool BrokerProcess::Start() {
    // Another test may take the free port between its choice and the broker's start: the
    // first start then sets the broker up again on another port.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (StartOnce() || m_started) return m_started;
        SetUp();
    }
    return false;
}

bool BrokerProcess::StartOnce() {
    if (m_port == 0) return false;
    const std::string program = MosquittoPath();
    if (program.empty()) {
        m_problem = "mosquitto is not installed (scripts/setup installs it)";
        return false;
    }
    m_broker = std::make_unique<ChildProcess>(
        program, std::vector<std::string>{"-c", (m_folder / "mosquitto.conf").string()});
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < end) {
        if (Accepts(m_port)) {
            m_started = true;
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    m_broker->Terminate();
    m_problem =
        "mosquitto did not listen on port " + std::to_string(m_port) + ": " + m_broker->ErrText();
    m_broker.reset();
    return false;
}

void BrokerProcess::Stop() {
    if (!m_broker) return;
    m_broker->Terminate();
    m_log += m_broker->ErrText();
    m_broker.reset();
}

std::string BrokerProcess::FleetSection(const std::string &site) const {
    return ReadWholeFile(m_folder / (site + ".fleet"));
}

std::string BrokerProcess::Password(const std::string &user) const {
    std::string text = ReadWholeFile(m_folder / (user + ".password"));
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}
