#include "host/level_report.h"

#include <cmath>
#include <optional>

#include "process/levels.h"

namespace kestrol::host {
namespace {

using process::Ladder;
using process::LevelTime;
using process::SetPoint;

constexpr SetPoint kTopDown[process::kSetPointCount] = {SetPoint::HHLL, SetPoint::HLL, SetPoint::NLL, SetPoint::LLL,
                                                         SetPoint::LLLL, SetPoint::HIL, SetPoint::NIL, SetPoint::LIL};
constexpr LevelTime kTimes[process::kLevelTimeCount] = {LevelTime::Holdup, LevelTime::Surge, LevelTime::HighAlarm, LevelTime::LowAlarm};
/// The stretch of each time, as the report names it.
constexpr const char* kStretches[process::kLevelTimeCount] = {"LLL-NLL", "NLL-HLL", "HLL-HHLL", "LLLL-LLL"};
constexpr const char* kTimeWords[process::kLevelTimeCount] = {"Hold-up", "Surge", "High alarm", "Low alarm"};
constexpr const char* kTimeLabels[process::kLevelTimeCount] = {"hold-up", "surge", "high alarm", "low alarm"};

constexpr std::array<const char*, kLevelColumnCount> kColumns = {
    "hhll_m_used", "hll_m_used", "nll_m_used", "lll_m_used", "llll_m_used", "hil_m_used", "nil_m_used", "lil_m_used",
    "holdup_time_s", "surge_time_s_used", "high_alarm_time_s", "low_alarm_time_s"};
static_assert(kLevelColumnCount == process::kSetPointCount + process::kLevelTimeCount, "a column per set point and per time");

nlohmann::ordered_json Measured(double si, Quantity q, UnitSystem units) {
    if (!IsSetAndFinite(si)) return nullptr;
    nlohmann::ordered_json field = nlohmann::ordered_json::object();
    field["value"] = Convert(si, q, units) * (si < 0.0 ? -1.0 : 1.0);
    field["unit"] = UnitOf(q, units).symbol;
    return field;
}

}  // namespace

std::vector<LevelRow> LevelRows(const SizingCase& c, const SizingOutcome& o) {
    std::vector<LevelRow> rows;
    const std::optional<Ladder> l = process::LevelsOf(c, o);
    if (!l) return rows;
    for (SetPoint p : kTopDown) {
        if (!IsSetAndFinite(l->Height(p))) continue;
        const bool given = !IsEmpty(c.levels.Get(kGivenHHLL + static_cast<int>(p)));
        rows.push_back({process::SetPointName(p), l->Height(p), Quantity::Length, given ? "(given)" : ""});
    }
    for (std::size_t i = 0; i < process::kLevelTimeCount; ++i) {
        const std::string stretch = std::string(kStretches[i]) + " " + kTimeLabels[i];
        rows.push_back({std::string(kStretches[i]) + " volume", l->Volume(kTimes[i]), Quantity::Volume, l->Volume(kTimes[i]) < 0.0 ? "negative" : ""});
        // The report prints magnitudes; a stretch that runs downward says so.
        rows.push_back({stretch, l->Time(kTimes[i]), Quantity::Time, l->Time(kTimes[i]) < 0.0 ? "negative: the upper level lies below the lower" : ""});
    }
    return rows;
}

nlohmann::ordered_json LevelsJson(const SizingCase& c, const SizingOutcome& o, UnitSystem units) {
    const std::optional<Ladder> l = process::LevelsOf(c, o);
    nlohmann::ordered_json levels = nlohmann::ordered_json::object();
    for (SetPoint p : kTopDown) levels[process::SetPointName(p)] = l ? Measured(l->Height(p), Quantity::Length, units) : nullptr;
    return levels;
}

nlohmann::ordered_json LevelTimesJson(const SizingCase& c, const SizingOutcome& o, UnitSystem units) {
    const std::optional<Ladder> l = process::LevelsOf(c, o);
    nlohmann::ordered_json times = nlohmann::ordered_json::object();
    for (LevelTime t : kTimes) times[process::LevelTimeName(t)] = l ? Measured(l->Time(t), Quantity::Time, units) : nullptr;
    return times;
}

const std::array<const char*, kLevelColumnCount>& LevelColumnNames() { return kColumns; }

std::string LevelAttributeName(const std::string& column) {
    const std::string used = "_used";
    if (column.size() > used.size() && column.compare(column.size() - used.size(), used.size(), used) == 0)
        return column.substr(0, column.size() - used.size());
    return column;
}

std::string LevelAttributeDoc(const std::string& column) {
    for (std::size_t i = 0; i < process::kSetPointCount; ++i) {
        if (column != kColumns[i]) continue;
        const auto p = static_cast<SetPoint>(static_cast<int>(i));
        const bool interface = p == SetPoint::HIL || p == SetPoint::NIL || p == SetPoint::LIL;
        return std::string(process::SetPointName(p)) + " [m] above the vessel's lowest point, as the Levels section shows it; None when not sized" +
               (interface ? " or without a heavy liquid." : ".");
    }
    for (std::size_t i = 0; i < process::kLevelTimeCount; ++i)
        if (column == kColumns[process::kSetPointCount + i])
            return std::string(kTimeWords[i]) + " time " + kStretches[i] + " [s] at the liquid inflow, negative where the upper level lies below the lower; None when not sized.";
    return {};
}

std::array<double, kLevelColumnCount> LevelCells(const SizingCase& c, const SizingOutcome& o) {
    std::array<double, kLevelColumnCount> cells;
    cells.fill(std::nan(""));
    const std::optional<Ladder> l = process::LevelsOf(c, o);
    if (!l) return cells;
    for (std::size_t i = 0; i < process::kSetPointCount; ++i)
        if (IsSetAndFinite(l->heights[i])) cells[i] = l->heights[i];
    for (std::size_t i = 0; i < process::kLevelTimeCount; ++i)
        if (IsSetAndFinite(l->times[i])) cells[process::kSetPointCount + i] = l->times[i];
    return cells;
}

std::vector<LevelLine> LevelLines(const SizingCase& c, const SizingOutcome& o) {
    std::vector<LevelLine> lines;
    const std::optional<Ladder> l = process::LevelsOf(c, o);
    if (!l) return lines;
    for (SetPoint p : kTopDown) {
        if (!IsSetAndFinite(l->Height(p))) continue;
        const bool interface = p == SetPoint::HIL || p == SetPoint::NIL || p == SetPoint::LIL;
        lines.push_back({l->Height(p), process::SetPointName(p), interface});
    }
    return lines;
}

}  // namespace kestrol::host
