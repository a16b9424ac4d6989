#include "report_subcommands.h"

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "exit_status.h"
#include "ldfs_text.h"
#include "sign_system.h"
#include "startup_reads.h"
#include "subcommand_table.h"

namespace {

using T = SubcommandTable;
using Call = SubcommandTable::Call;
using Json = nlohmann::ordered_json;

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
    std::optional<std::string> failLog;
    // What needs a person, in the words standard error gives.
    std::vector<std::string> attention;
};

Report Read(SignSystem &s) {
    Report report;
    StartupReads reads(s);
    report.nvramUpdate = reads.ReadStatus();
    report.status = s.CcStatusText();
    // The condition of this report, not the sign system's failure flag, which earlier
    // replies may have set.
    report.failure = LdfsText::Condition(report.status).value_or(0) != 0;
    if (report.nvramUpdate) {
        report.attention.push_back(
            "the controller says its memory (NVRAM) must be loaded: load an image with "
            "load-nvram-image, or call the supervisor");
        return report;
    }
    if (report.failure) {
        report.attention.push_back("the controller reports a failure in its status (" +
                                   T::CleanText(report.status) +
                                   "): see get-fail-log, or call the supervisor");
    }
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
    report.failLog = s.GetFailLog();
    if (LdfsText::Condition(*report.failLog).value_or(0) != 0) {
        report.attention.push_back("the controller's fail log holds a failure (" +
                                   T::CleanText(*report.failLog) +
                                   "): see to it, then clear-fail-log");
    }
    return report;
}

std::string FaceList(int mask) {
    std::string faces;
    for (int face = 0; face < SignSystem::kFaces; ++face) {
        if ((mask >> face) & 1) faces += (faces.empty() ? "" : ",") + std::to_string(face);
    }
    return faces;
}

Json FaceArray(int mask) {
    Json faces = Json::array();
    for (int face = 0; face < SignSystem::kFaces; ++face) {
        if ((mask >> face) & 1) faces.push_back(face);
    }
    return faces;
}

Json ToJson(const Report &r) {
    Json lines = Json::array();
    for (const Line &l : r.lines) {
        lines.push_back({{"line", l.number},
                         {"tag", l.tag},
                         {"format", T::CleanText(l.format)},
                         {"face_mask", l.faceMask},
                         {"faces", FaceArray(l.faceMask)},
                         {"price", T::CleanText(l.price)}});
    }
    return {{"status", T::CleanText(r.status)},
            {"status_bytes", T::Bytes(r.status)},
            {"nvram_update", r.nvramUpdate},
            {"failure", r.failure},
            {"line_count", r.lineCount ? Json(*r.lineCount) : Json(nullptr)},
            {"lines", lines},
            {"date",
             r.date ? Json(T::IsoDate(r.date->year, r.date->month, r.date->day)) : Json(nullptr)},
            {"time",
             r.time ? Json(T::IsoTime(r.time->hour, r.time->minute, r.time->second, r.time->ampm))
                    : Json(nullptr)},
            {"fail_log", r.failLog ? Json(T::CleanText(*r.failLog)) : Json(nullptr)},
            {"needs_attention", r.attention}};
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
            << (l.faceMask == 0 ? "none" : FaceList(l.faceMask)) << " = " << mask << ") " << l.tag
            << '\n';
    }
    if (r.date && r.time) {
        out << "Controller clock: " << r.date->month << '/' << r.date->day << '/' << r.date->year
            << ' ' << r.time->hour << ':' << (r.time->minute < 10 ? "0" : "") << r.time->minute
            << ':' << (r.time->second < 10 ? "0" : "") << r.time->second << ' ' << r.time->ampm
            << '\n';
    }
    if (r.failLog) out << "Fail log: " << *r.failLog << '\n';
}

}  // namespace

void ReportSubcommands::AddTo(SubcommandTable &table) {
    table.Add(
        "report",
        {.summary = "Reads, in one run and in the workstation's start-up order, the controller's\n"
                    "status, the number of lines, each line's format, face mask and price, the\n"
                    "controller's date and time, and its fail log. Exit status 1, with the\n"
                    "reasons on standard error, when the controller reports something that\n"
                    "needs a person: its memory must be loaded, a failure in its status, or a\n"
                    "failure in its fail log; the report is printed all the same.",
         .json = R"({"status":"LDFS:0000 0","status_bytes":[76,68],"nvram_update":false,)"
                 R"("failure":false,"line_count":6,"lines":[{"line":1,"tag":"Regular",)"
                 R"("format":"8.889","face_mask":3,"faces":[0,1],"price":"3.459"}],)"
                 R"("date":"2026-12-07","time":"17:09:20","fail_log":"LDFS:0000 0",)"
                 R"("needs_attention":["the controller's fail log holds a failure"]})",
         .run = [](SignSystem &s, const Call &, Printed &out, std::ostream &err) {
             const Report report = Read(s);
             WriteText(report, out.text);
             out.json = ToJson(report);
             // A report whose reads failed is not printed at all, and says nothing of its own.
             if (s.FailedTransactionCount() > 0) return ExitStatus::kTransactionFailed;
             for (const std::string &reason : report.attention)
                 err << "voxa-ctl: " << reason << '\n';
             return report.attention.empty() ? ExitStatus::kOk : ExitStatus::kTransactionFailed;
         }});
}
