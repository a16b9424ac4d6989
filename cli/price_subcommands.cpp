#include "price_subcommands.h"

#include <cstdio>
#include <ostream>

#include "arguments.h"
#include "exit_status.h"
#include "sign_system.h"
#include "subcommand_table.h"

namespace {

using T = SubcommandTable;
using Words = SubcommandTable::Words;

}  // namespace

void PriceSubcommands::AddTo(SubcommandTable &table) {
    table.Add("get-number-of-lines",
              {"", 0, 0, [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                   out << s.GetNumberOfLines() << '\n';
                   return ExitStatus::kOk;
               }});
    table.Add("read-line-formats",
              {"", 0, 0, [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                   s.GetNumberOfLines();
                   s.ReadLineFormats();
                   for (int line = 1; line <= s.InstalledLineCount(); ++line)
                       out << line << ' ' << s.GetLineFormat(line) << '\n';
                   return ExitStatus::kOk;
               }});
    table.Add("read-face-masks",
              {"", 0, 0, [](SignSystem &s, const Words &, std::ostream &out, std::ostream &) {
                   s.GetNumberOfLines();
                   s.ReadFaceMasks();
                   for (int n = 0; n < s.InstalledLineCount(); ++n) {
                       char mask[8];
                       std::snprintf(mask, sizeof mask, "0x%02x", s.GetFaceMask(n));
                       out << n + 1 << ' ' << mask << '\n';
                   }
                   return ExitStatus::kOk;
               }});
    table.Add(
        "get-line-price",
        {"LINE", 1, 1, [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
             const auto line = Arguments::ParseNumber(w[0], 1, SignSystem::kMaxLines);
             if (!line) return T::UsageError(err, "LINE must be 1 to 8");
             out << s.GetLinePrice(*line) << '\n';
             return ExitStatus::kOk;
         }});
}
