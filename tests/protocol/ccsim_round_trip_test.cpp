// The workstation's real serial port and link against voxa-ccsim on a pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <string>

#include "ccsim_process.h"
#include "device_map.h"
#include "recording_console.h"
#include "serial_port.h"
#include "sign_system.h"
#include "system_link_platform.h"

namespace {

// Whether a separate process can open the port: 0 refused as in use, 1 opened, 2 refused
// for another reason.
int OpenFromAnotherProcess(const DeviceMap &devices) {
    const pid_t child = fork();
    if (child == 0) {
        SerialPort port(devices);
        if (port.Open("COM1", 9600, SerialLine::Parity::None, SerialLine::StopBits::One, 8)) {
            // _exit runs no destructors: give the port back as the program would.
            port.Close();
            _exit(1);
        }
        _exit(port.LastError().find("in use") != std::string::npos ? 0 : 2);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

class CcsimRoundTripTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = m_sim.ReadListeningPath();
        ASSERT_FALSE(path.empty());
        m_devices.Set(1, path);
        m_system.SetPortName("COM1");
        m_system.SetDiagnosticStream(m_diagnostics);
    }

    CcsimProcess m_sim{VOXA_CCSIM_PATH, {"--lines", "4"}};
    DeviceMap m_devices;
    SystemLinkPlatform m_platform{m_devices};
    RecordingConsole m_console;
    std::ostringstream m_diagnostics;
    SignSystem m_system{m_platform, m_console};
};

TEST_F(CcsimRoundTripTest, TransactionsCrossTheRealLine) {
    EXPECT_EQ(m_system.GetNumberOfLines(), 4);
    m_system.SetLinePrice(2, "3.459");
    EXPECT_EQ(m_system.GetLinePrice(2), "3.459");
    EXPECT_TRUE(m_console.messages.empty()) << m_console.messages.front();
    EXPECT_EQ(m_diagnostics.str(), "");
    EXPECT_FALSE(m_system.FailureFlag());
}

TEST_F(CcsimRoundTripTest, PortHeldByUsIsRefusedToAnotherProgramAndFreedOnClose) {
    {
        SerialPort held(m_devices);
        ASSERT_TRUE(held.Open("COM1", 9600, SerialLine::Parity::None, SerialLine::StopBits::One, 8))
            << held.LastError();
        EXPECT_EQ(OpenFromAnotherProcess(m_devices), 0);
        // Nor can the workstation's own link take it meanwhile: the transaction fails
        // at once, as no sync, instead of talking into a line someone else holds.
        m_system.GetNumberOfLines();
        EXPECT_EQ(m_console.messages,
                  std::vector<std::string>{
                      "CC sent VOXA an unknown status.\nCmd Code: 04 Status:ffffffff"});
    }
    EXPECT_EQ(OpenFromAnotherProcess(m_devices), 1);
    m_console.messages.clear();
    EXPECT_EQ(m_system.GetNumberOfLines(), 4);

    EXPECT_TRUE(m_console.messages.empty());
}

}  // namespace
