#include "station_history.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "event_log_file.h"
#include "price_log_file.h"

namespace {

// The kinds of supervisor change, by how what they changed begins.
constexpr std::array<std::pair<const char *, const char *>, 19> kKindOf{{
    {"password", "password"},
    {"supervisor mode", "supervisor"},
    {"date", "clock"},
    {"time", "clock"},
    {"daylight saving", "clock"},
    {"intensity mode", "intensity"},
    {"manual level", "intensity"},
    {"face level", "intensity"},
    {"switch time", "intensity"},
    {"duty cycle", "intensity"},
    {"on/off time", "timer"},
    {"on/off timer", "timer"},
    {"line tag", "tags"},
    {"face tag", "tags"},
    {"port", "port"},
    {"NVRAM image", "nvram"},
    {"sign test", "maintenance"},
    {"fail log", "maintenance"},
    {"reset log", "maintenance"},
}};

}  // namespace

const std::vector<std::string> &StationHistory::Kinds() {
    static const std::vector<std::string> kinds{"price",     "password",    "supervisor", "clock",
                                                "intensity", "timer",       "tags",       "port",
                                                "nvram",     "maintenance", "other"};
    return kinds;
}

std::string StationHistory::KindOf(std::string_view what) {
    for (const auto &[start, kind] : kKindOf) {
        const std::string_view prefix = start;
        if (!prefix.empty() && what.substr(0, prefix.size()) == prefix) return kind;
    }
    return "other";
}

std::optional<std::time_t> StationHistory::MomentOf(std::string_view time) {
    // 2026-12-07T14:07:31+01:00
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, offsetHours = 0,
        offsetMinutes = 0;
    char sign = 0;
    const std::string text(time.substr(0, 40));
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%2d:%2d", &year, &month, &day, &hour,
                    &minute, &second, &sign, &offsetHours, &offsetMinutes) != 9 ||
        (sign != '+' && sign != '-')) {
        return std::nullopt;
    }
    std::tm utc{};
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    utc.tm_mday = day;
    utc.tm_hour = hour;
    utc.tm_min = minute;
    utc.tm_sec = second;
    const std::time_t local = timegm(&utc);
    const long offset = (offsetHours * 3600L + offsetMinutes * 60L) * (sign == '-' ? -1 : 1);
    return local - offset;
}

StationHistory::Row StationHistory::RowOf(EventLogFile::Entry &&change) {
    Row row;
    row.kind = KindOf(change.what);
    row.time = std::move(change.time);
    row.source = std::move(change.source);
    row.user = std::move(change.user);
    row.what = std::move(change.what);
    row.before = std::move(change.before);
    row.after = std::move(change.after);
    row.outcome = std::move(change.outcome);
    return row;
}

bool StationHistory::Read(const PriceLogFile &prices, const EventLogFile &events,
                          std::vector<Row> &rows, std::string &reason) {
    rows.clear();
    std::vector<PriceLogFile::Entry> entries;
    std::string priceReason;
    const bool pricesRead = prices.Read(entries, priceReason);
    for (PriceLogFile::Entry &e : entries) {
        Row row;
        row.time = std::move(e.time);
        row.kind = "price";
        row.source = std::move(e.source);
        row.user = std::move(e.user);
        row.line = std::atoi(e.line.c_str());
        row.what = "line " + e.line + " price" + (e.tag.empty() ? "" : " (" + e.tag + ")");
        row.before = std::move(e.oldPrice);
        row.after = std::move(e.newPrice);
        row.outcome = std::move(e.outcome);
        row.question = std::move(e.question);
        rows.push_back(std::move(row));
    }
    std::string eventReason;
    const bool eventsRead = events.ReadEach(
        [&rows](EventLogFile::Entry &&e) { rows.push_back(RowOf(std::move(e))); }, eventReason);
    // A time that cannot be read keeps its place at the start.
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) {
        return MomentOf(a.time).value_or(0) < MomentOf(b.time).value_or(0);
    });
    if (!pricesRead) reason = prices.Path().string() + ": " + priceReason;
    if (!eventsRead) {
        reason += (reason.empty() ? "" : "; ") + events.Path().string() + ": " + eventReason;
    }
    return pricesRead && eventsRead;
}
