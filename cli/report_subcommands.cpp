#include "report_subcommands.h"

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "exit_status.h"
#include "sign_system.h"
#include "startup_reads.h"
#include "subcommand_table.h"

namespace {

using Words = SubcommandTable::Words;

struct Line {
    int number = 0;
    std::string tag;
    std::string format;
    int faceMask = 0;
    std::string price;
};

struct Report {
    std::string status;
    bool nvramUpdate = false;
    bool failure = false;
    // Nothing when the controller wanted its NVRAM updated: then, as at the workstation's
    // start-up, nothing more was asked.
    std::optional<int> lineCount;
    std::vector<Line> lines;
    std::optional<DateRecord> date;
    std::optional<TimeRecord> time;
};

Report Read(SignSystem &s) {
    Report report;
    StartupReads reads(s);
    report.nvramUpdate = reads.ReadStatus();
    report.status = s.CcStatusText();
    report.failure = s.FailureFlag();
    if (report.nvramUpdate) return report;
    const int installed = reads.ReadLinesAndFormats();
    reads.ReadFaceMasks();
    reads.ReadPrices();
    report.lineCount = s.NumberOfLines();
    for (int line = 1; line <= installed; ++line) {
        report.lines.push_back(Line{line, s.GetLineTag(line - 1), s.GetLineFormat(line),
                                    s.GetFaceMask(line - 1), reads.Price(line).value_or("")});
    }
    report.date = s.GetDate();
    report.time = s.GetTime();
    return report;
}

// A JSON string: quotes, backslashes and control characters escaped; the text's other
// bytes (UTF-8) as they are.
std::string Json(const std::string &text) {
    std::string json = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                json += "\\\"";
                break;
            case '\\':
                json += "\\\\";
                break;
            case '\n':
                json += "\\n";
                break;
            case '\r':
                json += "\\r";
                break;
            case '\t':
                json += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    json += escaped;
                } else {
                    json += c;
                }
                break;
        }
    }
    return json + '"';
}

const char *Bool(bool value) {
    return value ? "true" : "false";
}

std::string Faces(int mask) {
    std::string faces;
    for (int face = 0; face < SignSystem::kFaces; ++face) {
        if ((mask >> face) & 1) faces += (faces.empty() ? "" : ",") + std::to_string(face);
    }
    return faces;
}

// The 12-hour dial of the controller on the 24-hour clock: 12:05 AM is 00:05.
std::string IsoTime(const TimeRecord &t) {
    const int hour = t.hour % 12 + (t.ampm == "PM" ? 12 : 0);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, t.minute, t.second);
    return text;
}

std::string IsoDate(const DateRecord &d) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

void WriteJson(const Report &r, std::ostream &out) {
    out << "{\"status\":" << Json(r.status) << ",\"nvram_update\":" << Bool(r.nvramUpdate)
        << ",\"failure\":" << Bool(r.failure)
        << ",\"line_count\":" << (r.lineCount ? std::to_string(*r.lineCount) : "null")
        << ",\"lines\":[";
    for (std::size_t i = 0; i < r.lines.size(); ++i) {
        const Line &l = r.lines[i];
        out << (i > 0 ? "," : "") << "{\"line\":" << l.number << ",\"tag\":" << Json(l.tag)
            << ",\"format\":" << Json(l.format) << ",\"face_mask\":" << l.faceMask << ",\"faces\":["
            << Faces(l.faceMask) << "],\"price\":" << Json(l.price) << '}';
    }
    out << "],\"date\":" << (r.date ? Json(IsoDate(*r.date)) : "null")
        << ",\"time\":" << (r.time ? Json(IsoTime(*r.time)) : "null") << "}\n";
}

void WriteText(const Report &r, std::ostream &out) {
    out << "Status: " << r.status << '\n';
    if (r.nvramUpdate) {
        out << "NVRAM must be updated: nothing else was read\n";
        return;
    }
    out << "Failure reported: " << (r.failure ? "yes" : "no") << '\n';
    out << "Lines: " << r.lineCount.value_or(0) << '\n';
    for (const Line &l : r.lines) {
        char mask[8];
        std::snprintf(mask, sizeof mask, "0x%02x", l.faceMask);
        out << "Line " << l.number << ": " << l.price << " (format " << l.format << ", faces "
            << (l.faceMask == 0 ? "none" : Faces(l.faceMask)) << " = " << mask << ") " << l.tag
            << '\n';
    }
    if (r.date && r.time) {
        out << "Controller clock: " << r.date->month << '/' << r.date->day << '/' << r.date->year
            << ' ' << r.time->hour << ':' << (r.time->minute < 10 ? "0" : "") << r.time->minute
            << ':' << (r.time->second < 10 ? "0" : "") << r.time->second << ' ' << r.time->ampm
            << '\n';
    }
}

}  // namespace

void ReportSubcommands::AddTo(SubcommandTable &table) {
    table.Add(
        "report",
        {"[--json]", 0, 1, [](SignSystem &s, const Words &w, std::ostream &out, std::ostream &err) {
             const bool json = !w.empty() && w[0] == "--json";
             if (!w.empty() && !json)
                 return SubcommandTable::UsageError(err, "usage: voxa-ctl report [--json]");
             const Report report = Read(s);
             if (json) {
                 WriteJson(report, out);
             } else {
                 WriteText(report, out);
             }
             return ExitStatus::kOk;
         }});
}
