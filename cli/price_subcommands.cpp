#include "price_subcommands.h"

#include <cstdio>
#include <ostream>

#include "arguments.h"
#include "exit_status.h"
#include "sign_system.h"
#include "subcommand_table.h"

namespace {

using T = SubcommandTable;
using Call = SubcommandTable::Call;
using Json = nlohmann::ordered_json;

constexpr const char *kLineDetails = "  LINE    1 to 8\n";

Json Faces(int mask) {
    Json faces = Json::array();
    for (int face = 0; face < SignSystem::kFaces; ++face) {
        if ((mask >> face) & 1) faces.push_back(face);
    }
    return faces;
}

}  // namespace

void PriceSubcommands::AddTo(SubcommandTable &table) {
    table.Add("get-number-of-lines",
              {.summary = "Prints the number of price lines the controller has.",
               .json = R"({"number_of_lines":6})",
               .run = [](SignSystem &s, const Call &, Printed &out, std::ostream &) {
                   const int lines = s.GetNumberOfLines();
                   out.text << lines << '\n';
                   out.json["number_of_lines"] = lines;
                   return ExitStatus::kOk;
               }});
    table.Add(
        "read-line-formats",
        {.summary = "Prints each line's number and price format, such as 1 8.889.",
         .json = R"({"lines":[{"line":1,"format":"8.889"}]})",
         .run = [](SignSystem &s, const Call &, Printed &out, std::ostream &) {
             s.GetNumberOfLines();
             s.ReadLineFormats();
             out.json["lines"] = Json::array();
             for (int line = 1; line <= s.InstalledLineCount(); ++line) {
                 out.text << line << ' ' << s.GetLineFormat(line) << '\n';
                 out.json["lines"].push_back({{"line", line}, {"format", s.GetLineFormat(line)}});
             }
             return ExitStatus::kOk;
         }});
    table.Add("read-face-masks",
              {.summary = "Prints each line's number and its face mask (bit k: shown on face k).",
               .json = R"({"lines":[{"line":1,"face_mask":3,"faces":[0,1]}]})",
               .run = [](SignSystem &s, const Call &, Printed &out, std::ostream &) {
                   s.GetNumberOfLines();
                   s.ReadFaceMasks();
                   out.json["lines"] = Json::array();
                   for (int n = 0; n < s.InstalledLineCount(); ++n) {
                       char mask[8];
                       std::snprintf(mask, sizeof mask, "0x%02x", s.GetFaceMask(n));
                       out.text << n + 1 << ' ' << mask << '\n';
                       out.json["lines"].push_back({{"line", n + 1},
                                                    {"face_mask", s.GetFaceMask(n)},
                                                    {"faces", Faces(s.GetFaceMask(n))}});
                   }
                   return ExitStatus::kOk;
               }});
    table.Add("get-line-price",
              {.operands = "LINE",
               .summary = "Prints the price of a line as the controller holds it.",
               .details = kLineDetails,
               .minOperands = 1,
               .maxOperands = 1,
               .json = R"({"line":1,"price":"3.499"})",
               .run = [](SignSystem &s, const Call &c, Printed &out, std::ostream &err) {
                   const auto line =
                       Arguments::ParseNumber(c.operands[0], 1, SignSystem::kMaxLines);
                   if (!line) return T::UsageError(err, "LINE must be 1 to 8");
                   const std::string price = s.GetLinePrice(*line);
                   out.text << price << '\n';
                   out.json = {{"line", *line}, {"price", price}};
                   return ExitStatus::kOk;
               }});
}
