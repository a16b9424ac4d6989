#pragma once

#include <deque>
#include <optional>
#include <vector>

#include "sign_station.h"

// A sign that records the changes applied to it and answers from a script: every change
// is sent and confirmed unless an answer is queued, every read gives the next reading
// queued (or the last one again).
class ScriptedStation : public SignStation {
public:
    Applied Apply(const PriceChange &change) override {
        applied.push_back(change);
        if (!answers.empty()) {
            Applied answer = answers.front();
            answers.pop_front();
            return answer;
        }
        Applied answer{ChangeResult::kConfirmed, "", {}};
        for (const auto &[line, price] : change.prices)
            answer.lines.push_back({line, price, ChangeResult::kConfirmed, price, 0});
        return answer;
    }
    std::optional<Reading> Read() override {
        ++reads;
        if (readings.size() > 1) {
            const std::optional<Reading> reading = readings.front();
            readings.pop_front();
            return reading;
        }
        return readings.empty() ? std::optional<Reading>(Reading{}) : readings.front();
    }

    std::vector<PriceChange> applied;
    std::deque<Applied> answers;
    std::deque<std::optional<Reading>> readings;
    int reads = 0;
};
