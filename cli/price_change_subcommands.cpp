#include "price_change_subcommands.h"

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "arguments.h"
#include "exit_status.h"
#include "price_log_file.h"
#include "price_update.h"
#include "sign_system.h"
#include "startup_reads.h"
#include "subcommand_table.h"

namespace {

using T = SubcommandTable;

constexpr const char *kNvramMustBeLoadedText =
    "The Central Controller reports that its NVRAM must be updated: no price is sent until "
    "an NVRAM image is loaded (voxa-ctl load-nvram-image FILE); nothing was sent";
using Words = SubcommandTable::Words;
using Call = SubcommandTable::Call;
using Json = nlohmann::ordered_json;
using Setup = PriceChangeSubcommands::Setup;
// Line number to price, so that prices go out in line order.
using Prices = std::map<int, std::string>;

std::string Pairs(const std::vector<std::pair<int, std::string>> &prices) {
    std::string text;
    for (const auto &[line, price] : prices) {
        text += (text.empty() ? "" : " ") + std::to_string(line) + "=" + price;
    }
    return text;
}

// One run of price changes through the price update the workstation uses, with the log,
// the limits and the confirmation the folder's voxa.ini asks for.
class PriceRun {
public:
    PriceRun(SignSystem &system, const Setup &setup, bool confirm, std::ostream &err)
        : m_system(system), m_err(err) {
        if (setup.logFolder) {
            m_log = std::make_unique<PriceLogFile>(*setup.logFolder, "voxa-ctl");
            Tell(m_log->Prepare());
        }
        for (const std::string &problem : setup.rules.problems) Tell(problem);
        m_update = std::make_unique<PriceUpdate>(system, m_log.get());
        m_update->SetLimits(setup.rules.limits);
        m_update->SetConfirm(confirm || setup.rules.confirm);
    }

    // Checks every price, then sends them in line order, stopping at the first that does
    // not go through. With listSet the lines set go to out.
    int Run(const Prices &prices, bool force, bool listSet, Printed &out) {
        StartupReads reads(m_system);
        // As at the workstation's start-up: a controller that wants its memory loaded is
        // asked nothing else, and certainly sent no price.
        const bool nvramUpdate = reads.ReadStatus();
        if (m_system.FailedTransactionCount() > 0) return Finish(ExitStatus::kTransactionFailed);
        if (nvramUpdate) {
            m_err << "voxa-ctl: " << kNvramMustBeLoadedText << '\n';
            return Finish(ExitStatus::kTransactionFailed);
        }
        const int installed = reads.ReadLinesAndFormats();
        if (m_system.FailedTransactionCount() > 0) return Finish(ExitStatus::kTransactionFailed);

        bool refused = false;
        for (const auto &[line, price] : prices) {
            if (line > installed) {
                m_err << "voxa-ctl: line " << line << " is not installed\n";
                refused = true;
            }
        }
        if (refused) return Refused(listSet);
        // The prices the lines show now: the log's old prices, and what a change is
        // measured from; and those of the other installed lines of the grade order, which
        // the new prices are held against.
        std::set<int> lines;
        for (const auto &[line, price] : prices) lines.insert(line);
        for (const PriceLimits::OrderStep &step : m_update->Limits().Order()) {
            for (const int line : {step.lower, step.upper}) {
                if (line <= installed) lines.insert(line);
            }
        }
        for (const int line : lines) {
            m_update->SetKnownPrice(line, reads.ReadPrice(line));
            if (m_system.FailedTransactionCount() > 0)
                return Finish(ExitStatus::kTransactionFailed);
        }
        // Every price is checked before any is sent, and every one refused is told.
        for (const auto &[line, price] : prices) {
            if (!m_update->CheckFormat(line, price)) {
                m_err << "voxa-ctl: Error: Bad Value, Price #" << line << " (format "
                      << m_system.GetLineFormat(line) << ")\n";
                refused = true;
            } else if (const auto question = m_update->LimitQuestion(line, price);
                       question && !force) {
                m_update->HoldBack(line, price, *question);
                m_err << "voxa-ctl: " << question->substr(0, question->find('\n') - 1)
                      << ": outside the limits in voxa.ini (--force sends it)\n";
                refused = true;
            }
        }
        if (!refused && !force) {
            if (const auto question = m_update->OrderQuestion(prices, installed)) {
                m_update->HoldBackOrder(prices, installed);
                m_err << "voxa-ctl: " << question->substr(0, question->find('\n') - 1)
                      << ": against [Limits] Order in voxa.ini (--force sends it)\n";
                refused = true;
            }
        }
        if (refused) return Refused(listSet);
        // With --force, the lines that break the grade order go out marked as forced.
        const std::optional<std::string> orderQuestion = m_update->OrderQuestion(prices, installed);
        const std::set<int> orderBreaking = m_update->OrderBreakingLines(prices, installed);

        std::vector<std::pair<int, std::string>> set;
        std::vector<std::pair<int, std::string>> left(prices.begin(), prices.end());
        std::string confirmed;
        for (const auto &[line, price] : prices) {
            if (m_system.StopRequested()) {
                // Asked to stop between two prices: the rest are not sent.
                if (listSet) {
                    m_err << "voxa-ctl: set before the stop: "
                          << (set.empty() ? "none" : Pairs(set)) << "; not set: " << Pairs(left)
                          << '\n';
                }
                return Finish(ExitStatus::kTransactionFailed);
            }
            // With --force, a price outside the limits goes out marked as forced.
            const PriceUpdate::Result result = m_update->Send(
                line, price, m_update->ForcedQuestion(line, price, orderBreaking, orderQuestion));
            if (result.outcome == PriceOutcome::Sent || result.outcome == PriceOutcome::Confirmed) {
                set.emplace_back(line, price);
                left.erase(left.begin());
                confirmed = PriceOutcomeName(result.outcome);
                continue;
            }
            const std::string where = ", Price #" + std::to_string(line);
            if (result.outcome == PriceOutcome::Mismatch) {
                m_err << "voxa-ctl: Error: Sign Shows " << result.shown << where << " (sent "
                      << price << ")\n";
            } else if (result.outcome == PriceOutcome::NotConfirmed) {
                m_err << "voxa-ctl: Error: Not Confirmed" << where << '\n';
            } else if (result.outcome == PriceOutcome::Unknown) {
                m_err << "voxa-ctl: Error: Check Sign" << where << " (" << price
                      << " reached the controller, but whether it took it is not known; "
                         "voxa-ctl get-line-price "
                      << line << " tells)\n";
            } else {
                m_err << "voxa-ctl: Error: Update Failed" << where << '\n';
            }
            if (listSet) {
                m_err << "voxa-ctl: set before the failure: " << (set.empty() ? "none" : Pairs(set))
                      << "; not set: " << Pairs(left) << '\n';
            }
            return Finish(ExitStatus::kTransactionFailed);
        }
        if (listSet) {
            // Every price went the same way: sent, or with confirmation confirmed.
            out.json["lines"] = Json::array();
            for (const auto &[line, price] : set) {
                out.text << line << ' ' << price << ' ' << confirmed << '\n';
                out.json["lines"].push_back(
                    {{"line", line}, {"price", price}, {"outcome", confirmed}});
            }
        }
        return Finish(ExitStatus::kOk);
    }

private:
    void Tell(const std::string &text) {
        if (!text.empty()) m_err << "voxa-ctl: " << text << '\n';
    }

    int Refused(bool several) {
        if (several) m_err << "voxa-ctl: nothing was sent\n";
        return Finish(ExitStatus::kRefused);
    }

    // What the log has to say comes last, once.
    int Finish(int status) {
        if (m_log) {
            Tell(m_log->TakeNotice());
            if (!m_log->Problem().empty()) Tell("price change not logged: " + m_log->Problem());
        }
        return status;
    }

    SignSystem &m_system;
    std::ostream &m_err;
    std::unique_ptr<PriceLogFile> m_log;
    std::unique_ptr<PriceUpdate> m_update;
};

// "3=3.459" pairs, each line once. Nothing, with the usage error told, for anything else.
std::optional<Prices> ParsePairs(const Words &words, std::ostream &err) {
    Prices prices;
    for (const std::string &word : words) {
        const std::size_t equals = word.find('=');
        const auto line =
            equals == std::string::npos
                ? std::nullopt
                : Arguments::ParseNumber(word.substr(0, equals), 1, SignSystem::kMaxLines);
        if (!line || equals + 1 == word.size()) {
            T::UsageError(err, "expected LINE=PRICE with LINE 1 to 8, not \"" + word + "\"");
            return std::nullopt;
        }
        if (!prices.emplace(*line, word.substr(equals + 1)).second) {
            T::UsageError(err, "line " + std::to_string(*line) + " is given more than once");
            return std::nullopt;
        }
    }
    if (prices.empty()) {
        T::UsageError(err,
                      "usage: voxa-ctl set-prices LINE=PRICE... [--confirm] [--force] [--json]");
        return std::nullopt;
    }
    return prices;
}

// A log row's line as a number; nothing for a row that names none.
Json LineNumber(const std::string &text) {
    const auto line = Arguments::ParseNumber(text, 1, SignSystem::kMaxLines);
    return line ? Json(*line) : Json(nullptr);
}

int PriceHistory(const Setup &setup, const Call &call, Printed &out, std::ostream &err) {
    // The day as the log writes it, YYYY-MM-DD.
    std::optional<std::string> since;
    std::optional<int> line;
    if (const std::string *text = call.Value("--since")) {
        const auto date = Arguments::ParseDate(*text);
        if (!date) return T::UsageError(err, "--since needs a date such as 2026-12-07");
        since = T::IsoDate(date->year, date->month, date->day);
    }
    if (const std::string *text = call.Value("--line")) {
        line = Arguments::ParseNumber(*text, 1, SignSystem::kMaxLines);
        if (!line) return T::UsageError(err, "--line needs a line from 1 to 8");
    }
    const bool json = call.Has("--json");
    out.Text() << PriceLogFile::kHeader << '\n';
    out.json["entries"] = Json::array();
    if (!setup.logFolder) return ExitStatus::kOk;
    PriceLogFile log(*setup.logFolder, "voxa-ctl");
    if (const std::string notice = log.Prepare(); !notice.empty())
        err << "voxa-ctl: " << notice << '\n';
    // Line by line as it is read: a log of years takes no more memory than a day's.
    std::string reason;
    const bool read = log.ReadEach(
        [&](PriceLogFile::Entry &&entry) {
            if (line && entry.line != std::to_string(*line)) return;
            // The day as written: the local date of whoever wrote the line.
            if (since && entry.time.substr(0, 10) < *since) return;
            if (!json) {
                out.Text() << PriceLogFile::LineOf(entry);
                return;
            }
            out.json["entries"].push_back({{"time", entry.time},
                                           {"source", entry.source},
                                           {"user", entry.user},
                                           {"line", LineNumber(entry.line)},
                                           {"tag", entry.tag},
                                           {"old", entry.oldPrice},
                                           {"new", entry.newPrice},
                                           {"outcome", entry.outcome}});
        },
        reason);
    if (!read) {
        err << "voxa-ctl: cannot read the price log " << log.Path().string() << " (" << reason
            << ")\n";
        return ExitStatus::kTransactionFailed;
    }
    return ExitStatus::kOk;
}

}  // namespace

void PriceChangeSubcommands::AddTo(SubcommandTable &table, const Setup &setup) {
    const std::vector<Arguments::Option> priceOptions{{"--confirm", false}, {"--force", false}};
    table.Add(
        "set-line-price",
        {.operands = "LINE PRICE [--confirm] [--force]",
         .summary = "Sets the price of a line, after checking it against the line's format as\n"
                    "the controller reports it and against the limits of [Limits] in\n"
                    "./voxa.ini; a price that does not fit is never sent (exit status 3).\n"
                    "Every attempt is logged in ./voxa-prices.csv.",
         .details = "  LINE       1 to 8, a line the controller has\n"
                    "  PRICE      as the line's format has it: 3.459 for 8.889\n"
                    "  --confirm  reads the price back after sending it\n"
                    "  --force    sends a price outside the limits or the grade order\n",
         .minOperands = 2,
         .maxOperands = 2,
         .options = priceOptions,
         .run = [&setup](SignSystem &s, const Call &c, Printed &out, std::ostream &err) {
             const auto line = Arguments::ParseNumber(c.operands[0], 1, SignSystem::kMaxLines);
             if (!line) return T::UsageError(err, "LINE must be 1 to 8");
             return PriceRun(s, setup, c.Has("--confirm"), err)
                 .Run({{*line, c.operands[1]}}, c.Has("--force"), false, out);
         }});
    table.Add("set-prices",
              {.operands = "LINE=PRICE... [--confirm] [--force]",
               .summary = "Sets several lines in one run: checks every price (format and limits)\n"
                          "before it sends any, then sends them in line order, stops at the first\n"
                          "that does not go through, and prints the lines set: line, price, and\n"
                          "sent or confirmed.",
               .details = "  LINE=PRICE  each line 1 to 8 once, such as 1=3.459\n"
                          "  --confirm   reads each price back after sending it\n"
                          "  --force     sends prices outside the limits or the grade order\n",
               .minOperands = 0,
               .maxOperands = 64,
               .options = priceOptions,
               .json = R"({"lines":[{"line":1,"price":"3.459","outcome":"confirmed"}]})",
               .run = [&setup](SignSystem &s, const Call &c, Printed &out, std::ostream &err) {
                   const std::optional<Prices> prices = ParsePairs(c.operands, err);
                   if (!prices) return ExitStatus::kUsage;
                   return PriceRun(s, setup, c.Has("--confirm"), err)
                       .Run(*prices, c.Has("--force"), true, out);
               }});
    table.Add(
        "price-history",
        {.operands = "[--since DATE] [--line N]",
         .summary = "Prints the log of price changes (./voxa-prices.csv), its header first, in\n"
                    "the order written.",
         .details = "  --since DATE  only rows written on or after that day (the writer's\n"
                    "                local date): 2026-12-07 or 12/7/2026\n"
                    "  --line N      only the rows of line N, 1 to 8\n",
         .options = {{"--since", true}, {"--line", true}},
         .json = R"({"entries":[{"time":"2026-12-07T17:08:43+00:00","source":"voxa-ctl",)"
                 R"("user":"pos","line":2,"tag":"Plus","old":"3.599","new":"3.559",)"
                 R"("outcome":"confirmed"}]})",
         .run = [&setup](SignSystem &, const Call &c, Printed &out,
                         std::ostream &err) { return PriceHistory(setup, c, out, err); },
         .usesLine = false,
         .streams = true});
}
