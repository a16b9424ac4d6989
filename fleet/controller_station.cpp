#include "controller_station.h"

#include <ostream>
#include <set>

#include "line_hold.h"
#include "link_platform.h"
#include "price_log_file.h"
#include "price_update.h"
#include "service_console.h"
#include "settings_binding.h"
#include "settings_file.h"
#include "sign_system.h"
#include "startup_reads.h"

namespace {

// Notes whether a transaction found the line held by another program, which the sign
// system reports like a controller that did not answer.
class BusyWatch : public LinkPlatform {
public:
    explicit BusyWatch(LinkPlatform &inner) : m_inner(inner) {}

    std::unique_ptr<SerialLine> NewLine() override { return m_inner.NewLine(); }
    void Pause(std::chrono::milliseconds duration) override { m_inner.Pause(duration); }
    bool BeginTransaction(const std::string &portName, std::string &problem) override {
        const bool taken = m_inner.BeginTransaction(portName, problem);
        if (!taken) m_busy = true;
        return taken;
    }
    void EndTransaction() override { m_inner.EndTransaction(); }
    void BeginHold(const std::string &activity) override { m_inner.BeginHold(activity); }
    void SetHoldProgress(const std::string &progress) override {
        m_inner.SetHoldProgress(progress);
    }
    void LetGoOfHold() override { m_inner.LetGoOfHold(); }
    void EndHold() override { m_inner.EndHold(); }

    bool Busy() const { return m_busy; }

private:
    LinkPlatform &m_inner;
    bool m_busy = false;
};

// One job's sign system with the station's settings.
struct Job {
    Job(LinkPlatform &platform, const SettingsFile &settings, std::ostream &log)
        : watch(platform), console(log), system(watch, console) {
        system.SetStrictTransactions(true);
        system.SetDiagnosticStream(log);
        system.SetPortName(settings.ReadString("Communications", "Port", "COM1"));
        for (int i = 0; i < SignSystem::kMaxLines; ++i) {
            system.SetLineTag(i, settings.ReadString("Tags", "tag" + std::to_string(i),
                                                     SettingsBinding::kMissing));
        }
    }

    // What went wrong, for a result: the controller's messages, or the busy line.
    std::string Problem(const std::string &otherwise) {
        std::string text;
        for (const std::string &message : console.TakeMessages())
            text += (text.empty() ? "" : "; ") + message;
        if (text.empty()) text = system.LinkProblem();
        return text.empty() ? otherwise : text;
    }

    BusyWatch watch;
    ServiceConsole console;
    SignSystem system;
};

SettingsFile LoadSettings(const std::filesystem::path &folder) {
    SettingsFile settings(folder / "voxa.ini");
    settings.Load();
    return settings;
}

}  // namespace

ControllerStation::ControllerStation(LinkPlatform &platform, std::filesystem::path folder,
                                     std::ostream &log)
    : m_platform(platform), m_folder(std::move(folder)), m_log(log) {}

std::string ControllerStation::PortName() const {
    return LoadSettings(m_folder).ReadString("Communications", "Port", "COM1");
}

SignStation::Applied ControllerStation::Apply(const PriceChange &change) {
    const SettingsFile settings = LoadSettings(m_folder);
    const SettingsBinding::PriceRules rules = SettingsBinding::LoadPriceRules(settings);
    for (const std::string &problem : rules.problems) m_log << "voxa-agent: " << problem << '\n';
    if (m_lineWait) m_lineWait(kChangeLineWait);
    Job job(m_platform, settings, m_log);
    PriceLogFile log(m_folder, kLogSource);
    log.SetUser(change.author);
    if (const std::string notice = log.Prepare(); !notice.empty())
        m_log << "voxa-agent: " << notice << '\n';
    PriceUpdate update(job.system, &log);
    update.SetLimits(rules.limits);
    update.SetConfirm(rules.confirm || change.confirm);

    Applied applied;
    for (const auto &[line, price] : change.prices) {
        applied.lines.push_back({line, price, ChangeResult::kNotSent, "", 0});
    }
    const auto finish = [&](const char *outcome, std::string reason) {
        applied.outcome = outcome;
        applied.reason = std::move(reason);
        if (!log.Problem().empty()) {
            m_log << "voxa-agent: price change not logged: " << log.Problem() << '\n';
            applied.reason += (applied.reason.empty() ? "" : "; ") +
                              std::string("not in the price log: ") + log.Problem();
        }
        return applied;
    };

    LineHold hold(job.system, "applying head office's change " + change.id);
    StartupReads reads(job.system);
    const int installed = reads.ReadLinesAndFormats();
    if (job.system.FailedTransactionCount() > 0)
        return finish(ChangeResult::kFailed, job.Problem("the controller did not answer"));
    for (const auto &[line, price] : change.prices) {
        if (line > installed) {
            return finish(ChangeResult::kRejected, "line " + std::to_string(line) +
                                                       " is not installed (the sign has " +
                                                       std::to_string(installed) + ")");
        }
    }
    // The prices the lines show now: the log's old prices, what a change is measured from,
    // and for the other lines of the grade order what the new prices are held against.
    std::set<int> known;
    for (const auto &[line, price] : change.prices) known.insert(line);
    for (const PriceLimits::OrderStep &step : update.Limits().Order()) {
        for (const int line : {step.lower, step.upper}) {
            if (line <= installed) known.insert(line);
        }
    }
    for (const int line : known) {
        update.SetKnownPrice(line, reads.ReadPrice(line));
        if (job.system.FailedTransactionCount() > 0)
            return finish(ChangeResult::kFailed, job.Problem("the controller did not answer"));
    }
    // Every price is checked before any is sent: a change goes whole or not at all.
    std::string refusal;
    for (ChangeResult::Line &result : applied.lines) {
        std::string why;
        if (!update.CheckFormat(result.line, result.price)) {
            result.outcome = PriceOutcomeName(PriceOutcome::BadValue);
            why = "the price of line " + std::to_string(result.line) + " does not fit its format " +
                  job.system.GetLineFormat(result.line);
        } else if (const auto question = update.LimitQuestion(result.line, result.price)) {
            update.HoldBack(result.line, result.price, *question);
            result.outcome = PriceOutcomeName(PriceOutcome::OutsideLimits);
            std::string first = question->substr(0, question->find('\n'));
            while (!first.empty() && (first.back() == '.' || first.back() == '?')) first.pop_back();
            why = "line " + std::to_string(result.line) + " is outside the limits in voxa.ini (" +
                  first + ")";
        }
        if (!why.empty()) refusal += (refusal.empty() ? "" : "; ") + why;
    }
    // A set that breaks the grade order (premium cheaper than regular: a mistyped digit at
    // head office) is refused whole, as the workstation would ask and voxa-ctl would refuse.
    if (refusal.empty()) {
        if (const auto question = update.OrderQuestion(change.prices, installed)) {
            const std::set<int> breaking = update.OrderBreakingLines(change.prices, installed);
            update.HoldBackOrder(change.prices, installed);
            for (ChangeResult::Line &result : applied.lines) {
                if (breaking.count(result.line) != 0)
                    result.outcome = PriceOutcomeName(PriceOutcome::OutsideLimits);
            }
            std::string first = question->substr(0, question->find('\n'));
            while (!first.empty() && (first.back() == '.' || first.back() == '?')) first.pop_back();
            refusal = first + ": against [Limits] Order in voxa.ini";
        }
    }
    if (!refusal.empty()) {
        return finish(ChangeResult::kRejected, refusal + "; nothing was sent");
    }

    bool allConfirmed = true;
    for (ChangeResult::Line &result : applied.lines) {
        const PriceUpdate::Result sent = update.Send(result.line, result.price);
        result.outcome = PriceOutcomeName(sent.outcome);
        result.at = m_clock();
        if (sent.outcome == PriceOutcome::Confirmed) {
            result.shown = result.price;
            continue;
        }
        if (sent.outcome == PriceOutcome::Sent) {
            allConfirmed = false;
            continue;
        }
        if (sent.outcome == PriceOutcome::Mismatch) result.shown = sent.shown;
        return finish(
            ChangeResult::kFailed,
            "line " + std::to_string(result.line) + ": " + result.outcome +
                (sent.outcome == PriceOutcome::Mismatch ? " (the sign shows " + sent.shown + ")"
                                                        : "") +
                "; the lines after it were not sent" +
                (sent.outcome == PriceOutcome::Mismatch ? "" : ": " + job.Problem("no answer")));
    }
    return finish(allConfirmed ? ChangeResult::kConfirmed : ChangeResult::kSent, "");
}

std::optional<SignStation::Reading> ControllerStation::Read() {
    const SettingsFile settings = LoadSettings(m_folder);
    if (m_lineWait) m_lineWait(kPollLineWait);
    Job job(m_platform, settings, m_log);
    LineHold hold(job.system, "reading the controller's status for head office");
    Reading reading;
    job.system.GetCcStatus();
    if (job.watch.Busy()) return std::nullopt;
    reading.answering = !job.system.LinkDown();
    reading.failure = job.system.FailureFlag();
    reading.memory = job.system.NvramUpdateFlag();
    reading.status = reading.answering ? job.system.CcStatusText() : job.Problem("no answer");
    if (reading.answering && !reading.memory) {
        // The prices need no formats: the number of lines, then each line's price.
        StartupReads reads(job.system);
        job.system.GetNumberOfLines();
        const int installed = job.system.InstalledLineCount();
        for (int line = 1; line <= installed && job.system.FailedTransactionCount() == 0; ++line) {
            if (const auto price = reads.ReadPrice(line)) reading.prices[line] = *price;
            reading.tags[line] = job.system.GetLineTag(line - 1);
        }
        if (job.watch.Busy()) return std::nullopt;
        if (job.system.FailedTransactionCount() > 0) {
            reading.answering = !job.system.LinkDown();
            reading.status = job.Problem(reading.status);
        }
    }
    return reading;
}
