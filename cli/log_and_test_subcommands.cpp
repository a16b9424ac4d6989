#include "log_and_test_subcommands.h"

#include <ostream>

#include "arguments.h"
#include "exit_status.h"
#include "ldfs_text.h"
#include "sign_system.h"
#include "subcommand_table.h"

namespace {

using T = SubcommandTable;
using Call = SubcommandTable::Call;
using Json = nlohmann::ordered_json;

// The number of "Number of Resets: 3".
Json ResetCount(const std::string &text) {
    const std::size_t blank = text.find_last_of(' ');
    const auto count =
        Arguments::ParseNumber(blank == std::string::npos ? text : text.substr(blank + 1), 0, 255);
    return count ? Json(*count) : Json(nullptr);
}

Json Condition(const std::string &text) {
    const auto condition = LdfsText::Condition(text);
    return condition ? Json(*condition) : Json(nullptr);
}

}  // namespace

void LogAndTestSubcommands::AddTo(SubcommandTable &table) {
    table.Add("get-reset-count",
              {.summary = "Prints how often the controller was reset: Number of Resets: 3.",
               .json = R"({"reset_count":3})",
               .run = [](SignSystem &s, const Call &, Printed &out, std::ostream &) {
                   const std::string text = s.GetResetCount();
                   out.text << text << '\n';
                   out.json["reset_count"] = ResetCount(text);
                   return ExitStatus::kOk;
               }});
    table.Add("clear-reset-log",
              {.summary = "Clears the controller's reset log.",
               .run = [](SignSystem &s, const Call &, Printed &, std::ostream &) {
                   s.ClearResetLog();
                   return ExitStatus::kOk;
               }});
    table.Add("get-fail-log",
              {.summary = "Prints the controller's fail log: its codes, such as LDFS:0010 2, and\n"
                          "its text; a third code other than 0 is a failure.",
               .json = R"({"fail_log":"LDFS:0010 2 LAMP FACE 2","fail_log_bytes":[76,68],)"
                       R"("condition":2,"failure":true})",
               .run = [](SignSystem &s, const Call &, Printed &out, std::ostream &) {
                   const std::string text = s.GetFailLog();
                   out.text << text << '\n';
                   const Json condition = Condition(text);
                   out.json = {{"fail_log", T::CleanText(text)},
                               {"fail_log_bytes", T::Bytes(text)},
                               {"condition", condition},
                               {"failure", condition.is_number() && condition != 0}};
                   return ExitStatus::kOk;
               }});
    table.Add("clear-fail-log", {.summary = "Clears the controller's fail log.",
                                 .run = [](SignSystem &s, const Call &, Printed &, std::ostream &) {
                                     s.ClearFailLog();
                                     return ExitStatus::kOk;
                                 }});
    table.Add("start-sign-test",
              {.summary = "Starts the sign test: every segment of every face lights up.",
               .run = [](SignSystem &s, const Call &, Printed &, std::ostream &) {
                   s.StartSignTest();
                   return ExitStatus::kOk;
               }});
    table.Add("stop-sign-test",
              {.summary = "Stops the sign test and prints its result: its codes and text; a third\n"
                          "code other than 0 means failing segments.",
               .json = R"({"result":"LDFS:0000 0","result_bytes":[76,68],"condition":0,)"
                       R"("failure":false})",
               .run = [](SignSystem &s, const Call &, Printed &out, std::ostream &) {
                   s.RunTransaction(s.Builder().StopSignTest());
                   const std::string text = s.SignTestResultText();
                   out.text << text << '\n';
                   const Json condition = Condition(text);
                   out.json = {{"result", T::CleanText(text)},
                               {"result_bytes", T::Bytes(text)},
                               {"condition", condition},
                               {"failure", condition.is_number() && condition != 0}};
                   return ExitStatus::kOk;
               }});
    table.Add("get-cc-status",
              {.summary = "Prints the controller's status report, and \"NVRAM must be updated\"\n"
                          "on a line of its own when the controller says so.",
               .json = R"({"status":"LDFS:0000 0","status_bytes":[76,68],"condition":0,)"
                       R"("nvram_update":false,"failure":false})",
               .run = [](SignSystem &s, const Call &, Printed &out, std::ostream &) {
                   const bool nvramUpdate = s.GetCcStatus();
                   const std::string text = s.CcStatusText();
                   out.text << text << '\n';
                   if (nvramUpdate) out.text << "NVRAM must be updated\n";
                   const Json condition = Condition(text);
                   out.json = {{"status", T::CleanText(text)},
                               {"status_bytes", T::Bytes(text)},
                               {"condition", condition},
                               {"nvram_update", nvramUpdate},
                               {"failure", condition.is_number() && condition != 0}};
                   return ExitStatus::kOk;
               }});
    table.Add("get-cc-software-part-number",
              {.summary = "Prints the part number of the controller's software.",
               .json = R"({"part_number":"LV-CC 5.10.02"})",
               .run = [](SignSystem &s, const Call &, Printed &out, std::ostream &) {
                   const std::string number = s.GetCcSoftwarePartNumber();
                   out.text << number << '\n';
                   out.json["part_number"] = T::CleanText(number);
                   return ExitStatus::kOk;
               }});
}
