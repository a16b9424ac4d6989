#include "password_and_port_subcommands.h"

#include <ostream>

#include "arguments.h"
#include "core_dumps.h"
#include "exit_status.h"
#include "password_reader.h"
#include "port_discovery.h"
#include "secret_text.h"
#include "sign_system.h"
#include "subcommand_table.h"

namespace {

using T = SubcommandTable;
using Words = SubcommandTable::Words;
using Call = SubcommandTable::Call;
using Json = nlohmann::ordered_json;
using Outcome = PasswordReader::Outcome;

const std::string kLongestText = std::to_string(PasswordReader::kLongest);

// The password of a subcommand into password: its argument, or from standard input when
// the argument is "-" or left out. Returns kOk, or the exit status after saying why.
// Nothing is sent in either case before this returns.
int TakePassword(PasswordReader &reader, const Words &w, const std::string &name,
                 const std::string &prompt, const std::string &confirmPrompt, SecretText &password,
                 std::ostream &err) {
    // From here to the end of the run a password is in memory (and in the arguments, when
    // given there): no core dump may write it out.
    if (std::string problem; !CoreDumps::Forbid(problem)) {
        err << "voxa-ctl: " << problem << '\n';
        return ExitStatus::kTransactionFailed;
    }
    if (!w.empty() && w[0] != "-") {
        // Cut by the frame, a longer one could be accepted as a password nobody has, or
        // kept by the controller as one nobody typed.
        if (w[0].size() > PasswordReader::kLongest)
            return T::UsageError(err, name + " must be at most " + kLongestText + " characters");
        password.Assign(w[0]);
        return ExitStatus::kOk;
    }
    switch (reader.Read(password, prompt, confirmPrompt)) {
        case Outcome::Read:
            return ExitStatus::kOk;
        case Outcome::NoInput:
            return T::UsageError(err, "no " + name +
                                          ": standard input ended before a line (see voxa-ctl "
                                          "--help)");
        case Outcome::TooLong:
            return T::UsageError(err, name + " must be at most " + kLongestText + " characters");
        case Outcome::NulByte:
            return T::UsageError(err, name + " must not hold a NUL byte");
        case Outcome::Unreadable:
            return T::UsageError(err, name + " could not be read: " + reader.Problem());
        case Outcome::Mismatch: {
            // The password dialog's own message, one prefixed line for each of its lines.
            std::string text = SignSystem::kPasswordsDoNotMatchText;
            for (std::size_t end; (end = text.find('\n')) != std::string::npos;
                 text.erase(0, end + 1)) {
                err << "voxa-ctl: " << text.substr(0, end) << '\n';
            }
            return ExitStatus::kRefused;
        }
        case Outcome::Interrupted:
            break;
    }
    return T::UsageError(err, name + " not given: interrupted");
}

// The ports of this PC, as the port dialog finds them.
int ListPorts(const PasswordAndPortSubcommands::PortSetup &setup, Printed &out, std::ostream &err) {
    PortDiscovery discovery(setup.root);
    const std::vector<PortDiscovery::Port> ports = discovery.Ports(setup.devices);
    out.json["ports"] = Json::array();
    for (const PortDiscovery::Port &port : ports) {
        const std::string name = "COM" + std::to_string(port.number);
        const std::string stable = discovery.StablePath(port);
        std::string description = port.maker + " " + port.product;
        description.erase(0, description.find_first_not_of(' '));
        description.erase(description.find_last_not_of(' ') + 1);
        if (description.empty() && port.device.rfind("/dev/ttyS", 0) == 0)
            description = "built-in serial port";
        out.text << name << '\t' << port.device << '\t' << (stable.empty() ? "-" : stable) << '\t'
                 << (description.empty() ? "-" : description);
        if (port.offered) out.text << " (new adapter, not yet in voxa.ini)";
        if (!port.access.group.empty()) {
            out.text << (port.access.joined ? " (log in again to use it)"
                                            : " (join the group " + port.access.group + ")");
        }
        out.text << '\n';
        out.json["ports"].push_back(
            {{"port", name},
             {"device", port.device},
             {"by_id", stable.empty() ? Json(nullptr) : Json(stable)},
             {"description", description},
             {"new_adapter", port.offered},
             {"group_needed", port.access.group.empty() ? Json(nullptr) : Json(port.access.group)},
             {"log_in_again", port.access.joined}});
    }
    if (ports.empty()) {
        err << "voxa-ctl: no serial port found: plug in the controller's cable or USB adapter\n";
    }
    return ExitStatus::kOk;
}

}  // namespace

void PasswordAndPortSubcommands::AddTo(SubcommandTable &table, PasswordReader &reader,
                                       const PortSetup &ports) {
    table.Add("verify-password",
              {.operands = "[- | PASSWORD]",
               .summary = "Asks the controller whether a password is the system password, and\n"
                          "prints accepted (exit status 0) or rejected (exit status 3).",
               .details = "  PASSWORD  at most 17 bytes; - or none: read from standard input\n"
                          "            (a terminal asks for it with echo off)\n",
               .minOperands = 0,
               .maxOperands = 1,
               .json = R"({"accepted":true})",
               .run = [&reader](SignSystem &s, const Call &c, Printed &out, std::ostream &err) {
                   SecretText password;
                   const int taken = TakePassword(reader, c.operands, "PASSWORD", "Password: ", {},
                                                  password, err);
                   if (taken != ExitStatus::kOk) return taken;
                   const bool accepted = s.VerifyPassword(password.Text());
                   out.text << (accepted ? "accepted" : "rejected") << '\n';
                   out.json["accepted"] = accepted;
                   return accepted ? ExitStatus::kOk : ExitStatus::kRefused;
               }});
    table.Add("change-password",
              {.operands = "[- | NEW-PASSWORD]",
               .summary = "Sets a new system password.",
               .details = "  NEW-PASSWORD  at most 17 bytes; - or none: read from standard input\n"
                          "                (a terminal asks for it twice with echo off)\n",
               .minOperands = 0,
               .maxOperands = 1,
               .run = [&reader](SignSystem &s, const Call &c, Printed &, std::ostream &err) {
                   SecretText password;
                   const int taken =
                       TakePassword(reader, c.operands, "NEW-PASSWORD",
                                    "New password: ", "Verify new password: ", password, err);
                   if (taken != ExitStatus::kOk) return taken;
                   s.ChangePassword(password.Text());
                   return ExitStatus::kOk;
               }});
    table.Add("test-open",
              {.operands = "COMn",
               .summary = "Opens and closes a port at once, and prints opened or failed.",
               .details = "  COMn    COM1 to COM9\n",
               .minOperands = 1,
               .maxOperands = 1,
               .json = R"({"port":"COM1","opened":true})",
               .run = [](SignSystem &s, const Call &c, Printed &out, std::ostream &err) {
                   if (!Arguments::ParsePort(c.operands[0]))
                       return T::UsageError(err, "COMn must be COM1 to COM" +
                                                     std::to_string(Arguments::kHighestPort));
                   const bool opened = s.TestOpen(c.operands[0]);
                   out.text << (opened ? "opened" : "failed") << '\n';
                   out.json = {{"port", c.operands[0]}, {"opened", opened}};
                   if (!opened) err << "voxa-ctl: " << s.LinkProblem() << '\n';
                   return opened ? ExitStatus::kOk : ExitStatus::kTransactionFailed;
               }});
    table.Add(
        "list-ports",
        {.summary = "Prints the serial ports of this PC as the workstation's port dialog finds\n"
                    "them, one a line, separated by tabs: the port name, the device, the\n"
                    "stable path under /dev/serial/by-id (- for none) and what it is.\n"
                    "Nothing is opened.",
         .json = R"({"ports":[{"port":"COM1","device":"/dev/ttyUSB0",)"
                 R"("by_id":"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",)"
                 R"("description":"FTDI FT232R USB UART","new_adapter":false,)"
                 R"("group_needed":"dialout","log_in_again":false}]})",
         .run = [&ports](SignSystem &, const Call &, Printed &out,
                         std::ostream &err) { return ListPorts(ports, out, err); },
         .usesLine = false});
}
