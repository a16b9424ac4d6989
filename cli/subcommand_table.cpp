#include "subcommand_table.h"

#include <cstdio>
#include <ostream>

#include "exit_status.h"

void SubcommandTable::Add(const std::string &name, Subcommand subcommand) {
    m_subcommands[name] = std::move(subcommand);
}

const SubcommandTable::Subcommand *SubcommandTable::Find(const std::string &name) const {
    const auto found = m_subcommands.find(name);
    return found == m_subcommands.end() ? nullptr : &found->second;
}

std::string SubcommandTable::Usage(const std::string &name, const Subcommand &subcommand) {
    std::string usage = "voxa-ctl " + name;
    if (*subcommand.operands != '\0') usage += std::string(" ") + subcommand.operands;
    if (*subcommand.json != '\0') usage += " [--json]";
    return usage;
}

std::vector<Arguments::Option> SubcommandTable::OptionsOf(const Subcommand &subcommand) {
    std::vector<Arguments::Option> options = subcommand.options;
    options.push_back({"--help", false});
    if (*subcommand.json != '\0') options.push_back({"--json", false});
    return options;
}

void SubcommandTable::PrintHelp(const std::string &name, const Subcommand &subcommand,
                                std::ostream &stream) {
    stream << "Usage: " << Usage(name, subcommand) << "\n\n" << subcommand.summary << '\n';
    if (!subcommand.details.empty() || *subcommand.json != '\0') stream << '\n';
    if (!subcommand.details.empty()) stream << subcommand.details;
    if (*subcommand.json != '\0') {
        stream << "  --json  one JSON object on one line, with these keys:\n          "
               << subcommand.json << '\n';
    }
    stream << '\n' << kExitStatusText;
}

int SubcommandTable::UsageError(std::ostream &err, const std::string &what) {
    err << "voxa-ctl: " << what << '\n';
    return ExitStatus::kUsage;
}

std::string SubcommandTable::Join(const Words &words, std::size_t from) {
    std::string text;
    for (std::size_t i = from; i < words.size(); ++i) {
        if (!text.empty()) text += ' ';
        text += words[i];
    }
    return text;
}

const char *SubcommandTable::OnOff(bool on) {
    return on ? "on" : "off";
}

std::string SubcommandTable::ShortTime(int hour, int minute, const std::string &ampm) {
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d %s", hour, minute, ampm.c_str());
    return text;
}

int SubcommandTable::Hour24(int hour12, const std::string &ampm) {
    return hour12 % 12 + (ampm == "PM" ? 12 : 0);
}

std::string SubcommandTable::IsoTime(int hour12, int minute, int second, const std::string &ampm) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", Hour24(hour12, ampm), minute, second);
    return text;
}

std::string SubcommandTable::IsoShortTime(int hour12, int minute, const std::string &ampm) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d", Hour24(hour12, ampm), minute);
    return text;
}

std::string SubcommandTable::IsoDate(int year, int month, int day) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

std::string SubcommandTable::CleanText(const std::string &text) {
    std::string clean;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) clean += c;
    }
    clean.erase(clean.find_last_not_of(' ') + 1);
    return clean;
}

nlohmann::ordered_json SubcommandTable::Bytes(const std::string &text) {
    nlohmann::ordered_json bytes = nlohmann::ordered_json::array();
    for (const char c : text) bytes.push_back(static_cast<unsigned char>(c));
    return bytes;
}
