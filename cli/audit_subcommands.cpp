#include "audit_subcommands.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "arguments.h"
#include "csv_text.h"
#include "event_log_file.h"
#include "exit_status.h"
#include "price_log_file.h"
#include "station_history.h"
#include "subcommand_table.h"

namespace {

using T = SubcommandTable;
using Call = SubcommandTable::Call;
using Json = nlohmann::ordered_json;
using Setup = PriceChangeSubcommands::Setup;

constexpr const char *kHistoryHeader = "time,kind,source,user,what,before,after,outcome,question";

template <typename Log>
int VerifyOne(const Log &log, Printed &out, std::ostream &err, bool &allFit) {
    ChainedLog::Verdict verdict;
    std::string reason;
    const std::string name = log.Path().string();
    if (!log.Verify(verdict, reason)) {
        err << "voxa-ctl: cannot read " << name << " (" << reason << ")\n";
        return ExitStatus::kTransactionFailed;
    }
    allFit = allFit && verdict.fits;
    out.Text() << verdict.Text(name) << '\n';
    Json entry = {{"file", name},
                  {"fits", verdict.fits},
                  {"rows", verdict.rows},
                  {"chain_starts_at_line", verdict.firstChainedLine},
                  {"unchained_rows", verdict.unchainedRows},
                  {"bad_line", verdict.badLine},
                  {"cut_line", verdict.cutLine},
                  {"text", verdict.Text(name)}};
    out.json["logs"].push_back(entry);
    return ExitStatus::kOk;
}

int VerifyLogs(const Setup &setup, Printed &out, std::ostream &err) {
    out.json["logs"] = Json::array();
    if (!setup.logFolder) return ExitStatus::kOk;
    PriceLogFile prices(*setup.logFolder, "voxa-ctl");
    EventLogFile events(*setup.logFolder, "voxa-ctl");
    // The logs in use: a file of the usual name that is not ours is passed over as the
    // writers pass it over.
    for (const std::string &notice : {prices.Prepare(), events.Prepare()}) {
        if (!notice.empty()) err << "voxa-ctl: " << notice << '\n';
    }
    bool allFit = true;
    if (const int status = VerifyOne(prices, out, err, allFit); status != ExitStatus::kOk)
        return status;
    if (const int status = VerifyOne(events, out, err, allFit); status != ExitStatus::kOk)
        return status;
    if (!allFit) {
        err << "voxa-ctl: a log does not fit its chain: it was edited after it was written\n";
        return ExitStatus::kTransactionFailed;
    }
    return ExitStatus::kOk;
}

int History(const Setup &setup, const Call &call, Printed &out, std::ostream &err) {
    std::vector<std::string> kinds;
    if (const std::string *text = call.Value("--kind")) {
        std::string rest = *text;
        for (std::size_t comma; !rest.empty();) {
            comma = rest.find(',');
            const std::string kind = rest.substr(0, comma);
            const auto &known = StationHistory::Kinds();
            if (std::find(known.begin(), known.end(), kind) == known.end()) {
                std::string list;
                for (const std::string &k : known) list += (list.empty() ? "" : ", ") + k;
                return T::UsageError(err, "--kind takes " + list + " (several with commas)");
            }
            kinds.push_back(kind);
            rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
        }
    }
    std::optional<std::string> since;
    if (const std::string *text = call.Value("--since")) {
        const auto date = Arguments::ParseDate(*text);
        if (!date) return T::UsageError(err, "--since needs a date such as 2026-12-07");
        since = T::IsoDate(date->year, date->month, date->day);
    }
    out.Text() << kHistoryHeader << '\n';
    out.json["entries"] = Json::array();
    if (!setup.logFolder) return ExitStatus::kOk;
    PriceLogFile prices(*setup.logFolder, "voxa-ctl");
    EventLogFile events(*setup.logFolder, "voxa-ctl");
    for (const std::string &notice : {prices.Prepare(), events.Prepare()}) {
        if (!notice.empty()) err << "voxa-ctl: " << notice << '\n';
    }
    std::vector<StationHistory::Row> rows;
    std::string reason;
    const bool read = StationHistory::Read(prices, events, rows, reason);
    for (const StationHistory::Row &row : rows) {
        if (!kinds.empty() && std::find(kinds.begin(), kinds.end(), row.kind) == kinds.end())
            continue;
        // The day as written: the local date of whoever wrote the row.
        if (since && row.time.substr(0, 10) < *since) continue;
        out.Text() << CsvText::Line({row.time, row.kind, row.source, row.user, row.what, row.before,
                                     row.after, row.outcome, row.question});
        // The same keys in every entry: a change has no line.
        out.json["entries"].push_back({{"time", row.time},
                                       {"kind", row.kind},
                                       {"source", row.source},
                                       {"user", row.user},
                                       {"line", row.line != 0 ? Json(row.line) : Json(nullptr)},
                                       {"what", row.what},
                                       {"before", row.before},
                                       {"after", row.after},
                                       {"outcome", row.outcome},
                                       {"question", row.question}});
    }
    if (!read) {
        err << "voxa-ctl: cannot read the history (" << reason << ")\n";
        return ExitStatus::kTransactionFailed;
    }
    return ExitStatus::kOk;
}

}  // namespace

void AuditSubcommands::AddTo(SubcommandTable &table, const Setup &setup) {
    table.Add("verify-logs",
              {.operands = "",
               .summary = "Checks the chain values of the price log (./voxa-prices.csv) and the\n"
                          "event log (./voxa-events.csv): prints for each whether it is as it\n"
                          "was written, from which line its chain starts, and the first line\n"
                          "that does not fit (exit status 1) after a row was changed, deleted\n"
                          "or put in.",
               .json = R"({"logs":[{"file":"/srv/voxa/voxa-prices.csv","fits":true,"rows":12,)"
                       R"("chain_starts_at_line":2,"unchained_rows":0,"bad_line":0,)"
                       R"("cut_line":0,"text":"..."}]})",
               .run = [&setup](SignSystem &, const Call &, Printed &out,
                               std::ostream &err) { return VerifyLogs(setup, out, err); },
               .usesLine = false});
    table.Add(
        "history",
        {.operands = "[--kind KIND[,KIND...]] [--since DATE]",
         .summary = "Prints the station's history: the price changes of ./voxa-prices.csv and\n"
                    "the supervisor changes of ./voxa-events.csv in the order they were made,\n"
                    "its header first.",
         .details = "  --kind KIND   only rows of these kinds: price, password, supervisor,\n"
                    "                clock, intensity, timer, tags, port, nvram, maintenance,\n"
                    "                other\n"
                    "  --since DATE  only rows written on or after that day (the writer's\n"
                    "                local date): 2026-12-07 or 12/7/2026\n",
         .options = {{"--kind", true}, {"--since", true}},
         .json = R"({"entries":[{"time":"2026-12-07T17:08:43+00:00","kind":"price",)"
                 R"j("source":"voxa-ctl","user":"pos","line":2,"what":"line 2 price (Plus)",)j"
                 R"("before":"3.599","after":"3.559","outcome":"confirmed","question":""}]})",
         .run = [&setup](SignSystem &, const Call &c, Printed &out,
                         std::ostream &err) { return History(setup, c, out, err); },
         .usesLine = false});
}
