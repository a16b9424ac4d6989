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
