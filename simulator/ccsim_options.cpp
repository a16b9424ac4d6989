#include "ccsim_options.h"

#include <charconv>
#include <cstdlib>
#include <functional>
#include <map>
#include <string_view>

#include "command_code.h"

namespace {

constexpr std::size_t kPasswordRoom = 17;  // a text from byte 3 of a request
constexpr int kMaxJunk = 1000;
// Longer than the workstation's whole wait for a sync byte (50 tries, about 25 s).
constexpr int kMaxReplyDelayMs = 60000;
// Enough for any number of transactions a test or a bench would run.
constexpr int kMaxUnplugBytes = 1000000;

template <typename T>
bool ParseInteger(std::string_view text, T min, T max, T &value) {
    T parsed{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc{} || end != text.data() + text.size() || parsed < min || parsed > max) {
        return false;
    }
    value = parsed;
    return true;
}

bool ParseProbability(const std::string &text, double &value) {
    if (text.empty()) {
        return false;
    }
    char *end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !(parsed >= 0.0 && parsed <= 1.0)) {
        return false;
    }
    value = parsed;
    return true;
}

bool ParsePositions(std::string_view text, std::set<int> &positions) {
    std::set<int> parsed;
    while (true) {
        const std::size_t comma = text.find(',');
        int position = 0;
        if (!ParseInteger(text.substr(0, comma), 0, static_cast<int>(kFrameSize) - 1, position)) {
            return false;
        }
        parsed.insert(position);
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    positions = std::move(parsed);
    return true;
}

// "N" or "N:COUNT"; COUNT -1 (the default) means every reply.
bool ParseForcedStatus(std::string_view text, FaultPlan &faults) {
    const std::size_t colon = text.find(':');
    int status = 0;
    int count = -1;
    if (!ParseInteger(text.substr(0, colon), 1, 255, status)) {
        return false;
    }
    if (colon != std::string_view::npos &&
        (!ParseInteger(text.substr(colon + 1), -1, 1000000, count) || count == 0)) {
        return false;
    }
    faults.forcedStatus = static_cast<std::uint8_t>(status);
    faults.forcedStatusCount = count;
    return true;
}

}  // namespace

std::string CcsimOptions::Usage() {
    return "Usage: voxa-ccsim [OPTION]...\n"
           "Simulates the Lumivane Central Controller on a serial line.\n"
           "\n"
           "Line:\n"
           "  --device PATH        serve on this serial device (raw 9600 8N1) instead of a\n"
           "                       new pseudo-terminal\n"
           "  --link PATH          make PATH a symlink to the pseudo-terminal (an old\n"
           "                       symlink there is replaced, nothing else is); removed on "
           "exit\n"
           "  --trace              write every frame received and sent to stderr; the\n"
           "                       text of a password (and the frame's checksum) shows\n"
           "                       as **\n"
           "  --trace-secrets      --trace with password texts shown as they travel\n"
           "  --paced              every byte takes its time on the line both ways, as at\n"
           "                       9600 baud (1.0417 ms); without it a pseudo-terminal\n"
           "                       carries bytes at once\n"
           "  --reply-delay MS     time from a request's last byte to its reply's sync byte,\n"
           "                       0-60000 ms (default 5)\n"
           "\n"
           "Installation:\n"
           "  --lines N            number of price lines, 0-255 (default 6; only lines\n"
           "                       1-8 exist)\n"
           "  --nvram-size N       NVRAM size in bytes, 0-65535 (default 2048)\n"
           "  --password TEXT      system password, at most 17 characters (default voxa)\n"
           "  --cc-status N        Get CC status reports condition code N\n"
           "  --nvram-update       same as --cc-status 5 (NVRAM must be updated); a\n"
           "                       completed NVRAM load clears it\n"
           "\n"
           "Faults:\n"
           "  --silent             never answer\n"
           "  --nak-rate P         NAK each request byte with probability P (0-1)\n"
           "  --seed N             seed of the NAK generator (default 1)\n"
           "  --nak-at LIST        NAK these request byte positions (0-21, comma-separated)\n"
           "                       once per frame\n"
           "  --junk-answer-at LIST  answer these request byte positions with 0x55 once\n"
           "                       per frame\n"
           "  --stop-after K       send reply bytes 0..K only\n"
           "  --corrupt-checksum   send every reply with a wrong checksum\n"
           "  --reply-code N       give every reply command code N (0-255) instead of its\n"
           "                       request's\n"
           "  --junk N             send N junk bytes before each reply's sync byte\n"
           "  --status N[:COUNT]   put status N (1-255) in the next COUNT replies (default\n"
           "                       every reply); the commands are not carried out\n"
           "  --status-command C   only replies to command C (1-44) get the --status\n"
           "  --report-nvram-size N  Get NVRAM size reports N bytes (0-65535) whatever the\n"
           "                       memory holds\n"
           "  --sign-test-fails    the sign test finds failing segments\n"
           "  --mangle-price       Set line price is acknowledged but the line keeps a\n"
           "                       different price: its first free digit one up (3.459\n"
           "                       is kept as 4.459)\n"
           "  --unplug-after N     cut the line once N bytes came from the workstation\n"
           "                       (requests and ACKs; the Nth is not answered): the\n"
           "                       pseudo-terminal is closed, its device disappears, and\n"
           "                       voxa-ccsim waits to be stopped\n"
           "  --help               show this text\n"
           "  --version            show the version\n";
}

std::optional<CcsimOptions> CcsimOptions::Parse(const std::vector<std::string> &args,
                                                std::string &error) {
    CcsimOptions options;
    FaultPlan &f = options.faults;
    using Flag = std::function<void()>;
    using Valued = std::function<bool(const std::string &)>;
    const std::map<std::string, Flag> flags{
        {"--trace", [&] { options.trace = true; }},
        {"--trace-secrets", [&] { options.trace = options.traceSecrets = true; }},
        {"--help", [&] { options.help = true; }},
        {"-h", [&] { options.help = true; }},
        {"--version", [&] { options.version = true; }},
        {"--silent", [&] { f.silent = true; }},
        {"--corrupt-checksum", [&] { f.corruptChecksum = true; }},
        {"--sign-test-fails", [&] { f.signTestFails = true; }},
        {"--mangle-price", [&] { f.manglePrice = true; }},
        {"--nvram-update", [&] { options.ccStatus = static_cast<std::uint8_t>(5); }},
        {"--paced", [&] { options.paced = true; }},
    };
    const std::map<std::string, Valued> valued{
        {"--device",
         [&](const std::string &v) {
             options.device = v;
             return !v.empty();
         }},
        {"--link",
         [&](const std::string &v) {
             options.link = v;
             return !v.empty();
         }},
        {"--nak-rate", [&](const std::string &v) { return ParseProbability(v, f.nakRate); }},
        {"--nak-at", [&](const std::string &v) { return ParsePositions(v, f.nakAt); }},
        {"--junk-answer-at",
         [&](const std::string &v) { return ParsePositions(v, f.junkAnswerAt); }},
        {"--stop-after",
         [&](const std::string &v) {
             int k = 0;
             if (!ParseInteger(v, 0, static_cast<int>(kFrameSize) - 1, k)) {
                 return false;
             }
             f.stopAfterReplyByte = k;
             return true;
         }},
        {"--junk",
         [&](const std::string &v) { return ParseInteger(v, 0, kMaxJunk, f.junkBeforeSync); }},
        {"--status", [&](const std::string &v) { return ParseForcedStatus(v, f); }},
        {"--status-command",
         [&](const std::string &v) {
             int code = 0;
             if (!ParseInteger(v, 1, static_cast<int>(kHighestCommandCode), code)) {
                 return false;
             }
             f.forcedStatusCommand = static_cast<std::uint8_t>(code);
             return true;
         }},
        {"--reply-delay",
         [&](const std::string &v) {
             int ms = 0;
             if (!ParseInteger(v, 0, kMaxReplyDelayMs, ms)) {
                 return false;
             }
             options.replyDelayMs = ms;
             return true;
         }},
        {"--unplug-after",
         [&](const std::string &v) {
             int bytes = 0;
             if (!ParseInteger(v, 1, kMaxUnplugBytes, bytes)) {
                 return false;
             }
             f.unplugAfterBytes = bytes;
             return true;
         }},
        {"--report-nvram-size",
         [&](const std::string &v) {
             int size = 0;
             if (!ParseInteger(v, 0, 0xFFFF, size)) {
                 return false;
             }
             f.reportedNvramSize = static_cast<std::uint16_t>(size);
             return true;
         }},
        {"--reply-code",
         [&](const std::string &v) {
             int code = 0;
             if (!ParseInteger(v, 0, 255, code)) {
                 return false;
             }
             f.replyCode = static_cast<std::uint8_t>(code);
             return true;
         }},
        {"--cc-status",
         [&](const std::string &v) {
             int code = 0;
             if (!ParseInteger(v, 0, 255, code)) {
                 return false;
             }
             options.ccStatus = static_cast<std::uint8_t>(code);
             return true;
         }},
        {"--lines",
         [&](const std::string &v) {
             int count = 0;
             if (!ParseInteger(v, 0, 255, count)) {
                 return false;
             }
             options.lines = count;
             return true;
         }},
        {"--nvram-size",
         [&](const std::string &v) {
             std::size_t size = 0;
             if (!ParseInteger(v, std::size_t{0}, ControllerModel::kMaxNvramSize, size)) {
                 return false;
             }
             options.nvramSize = size;
             return true;
         }},
        {"--password",
         [&](const std::string &v) {
             options.password = v;
             return v.size() <= kPasswordRoom;
         }},
        {"--seed",
         [&](const std::string &v) {
             return ParseInteger(v, std::uint32_t{0}, UINT32_MAX, options.seed);
         }},
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('=');
            name.starts_with("--") && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (const auto flag = flags.find(name); flag != flags.end()) {
            if (value) {
                error = "option '" + name + "' takes no value";
                return std::nullopt;
            }
            flag->second();
            continue;
        }
        const auto option = valued.find(name);
        if (option == valued.end()) {
            error = "unknown option '" + args[i] + "'";
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 == args.size()) {
                error = "option '" + name + "' needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!option->second(*value)) {
            error = "invalid value '" + *value + "' for option '" + name + "'";
            return std::nullopt;
        }
    }
    if (!options.device.empty() && !options.link.empty()) {
        error = "--link is for the pseudo-terminal; it cannot be used with --device";
        return std::nullopt;
    }
    return options;
}

void CcsimOptions::ApplyTo(ControllerEndpoint &endpoint) const {
    endpoint.Faults() = faults;
    endpoint.Seed(seed);
    if (replyDelayMs) {
        endpoint.SetReplyDelay(ControllerEndpoint::Millis{*replyDelayMs});
    }
    ControllerModel &model = endpoint.Model();
    ControllerModel::State &state = model.Current();
    if (lines) {
        state.lineCount = *lines;
    }
    if (nvramSize) {
        model.ResetNvram(*nvramSize);
    }
    if (password) {
        state.password = *password;
    }
    if (ccStatus) {
        state.ccStatus = ControllerModel::ConditionReport(*ccStatus);
    }
}
