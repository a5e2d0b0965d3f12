// Reference sizings: generated cases played against a fresh object through the interface,
// and the bundled example scripts, each reduced to one line of text in which every double
// appears as the hex of its bits. tests/data/ keeps the lines as the code gave them before
// the calculations were made faster; reference_vectors_test replays every case and asks
// for the same line, so "the same results" means the same bits, not close ones.
#pragma once

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/object_handle.h"
#include "model/script_runner.h"
#include "sizing/sizing_object.h"

namespace kestrol::testing_support {

inline const std::filesystem::path kSourceRoot = std::filesystem::path(__FILE__).parent_path().parent_path();
inline const std::filesystem::path kReferenceVectors = kSourceRoot / "tests" / "data" / "reference_vectors.txt";
inline const std::filesystem::path kReferenceScripts = kSourceRoot / "tests" / "data" / "reference_scripts.txt";

/// Generated cases in the reference file ...
inline constexpr int kReferenceCaseCount = 3000;
/// ... of which the first ones are kept word for word, the rest as a 64-bit digest of all
/// their words (the file stays small; a word-for-word case shows where a change shows).
inline constexpr int kReferenceCasesInFull = 200;

/// Deterministic across platforms and compilers (unlike the standard distributions).
class CaseRandom {
public:
    explicit CaseRandom(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 1) {}
    std::uint64_t Next() {
        // splitmix64
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    /// Uniform in [lo, hi), rounded to three decimals as an engineer would type it.
    double Uniform(double lo, double hi) {
        const double unit = static_cast<double>(Next() >> 11) / 9007199254740992.0;
        const double v = lo + (hi - lo) * unit;
        return static_cast<double>(static_cast<std::int64_t>(v * 1000.0)) / 1000.0;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
    bool Chance(int percent) { return Below(100) < percent; }

private:
    std::uint64_t state_;
};

/// The words of one case: every double as 16 hex digits, the empty marker as "-".
class CaseLine {
public:
    explicit CaseLine(std::string name) : text_(std::move(name)) {}
    void Add(double v) {
        if (v == kEmptyValue) {
            text_ += " -";
            return;
        }
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        char word[20];
        std::snprintf(word, sizeof word, " %016" PRIx64, bits);
        text_ += word;
    }
    void Add(HRESULT r) { Add(static_cast<double>(static_cast<std::uint32_t>(r))); }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

namespace reference_detail {

struct HostAnswers {
    double percent = kEmptyValue;
    double density = kEmptyValue;
};
inline thread_local HostAnswers answers;
inline double STDMETHODCALLTYPE Answer(std::int32_t code) { return code == 0 ? answers.percent : answers.density; }

inline void SetFeed(ISeparatorSizing& o, CaseRandom& rng) {
    const double pressure = rng.Uniform(150.0, 9000.0);
    o.SetPressure(pressure);
    o.SetTemperature(rng.Uniform(-20.0, 260.0));
    const double vapourFlow = rng.Uniform(200.0, 200000.0);
    o.SetVapourMassFlow(vapourFlow);
    o.SetVapourDensity(pressure * 0.008 * rng.Uniform(0.5, 1.5) + 0.2);
    o.SetAuxiliaryValue1(1.0);
    o.SetPropertyCallback(&Answer);
    answers = {rng.Uniform(0.1, 14.0), rng.Uniform(500.0, 800.0)};
    if (rng.Chance(8)) return;  // no liquid: the host answers for it
    const double lightFlow = vapourFlow * rng.Uniform(0.002, 5.0);
    o.SetLightLiquidMassFlow(lightFlow);
    o.SetLightLiquidDensity(rng.Uniform(520.0, 920.0));
    if (rng.Chance(50)) {
        o.SetHeavyLiquidMassFlow(lightFlow * rng.Uniform(0.02, 2.0));
        o.SetHeavyLiquidDensity(rng.Uniform(940.0, 1080.0));
    }
}

inline void Fix(ISeparatorSizing& o, Slot s, double magnitude) { o.SetValue(-magnitude, Index(s)); }

/// The path of the orientation in slot 14, as a stepping host calls it.
inline double RunPath(ISeparatorSizing& o) {
    return o.GetValue(Index(Slot::Orientation)) == 0.0 ? o.SizeVertical() : o.SizeHorizontalVessel();
}

/// Fixes what a host rating or half-designing a vessel would give, drawn at random.
inline void FixDesign(ISeparatorSizing& o, CaseRandom& rng, bool horizontal) {
    const double D = 0.1524 * (3 + rng.Below(25));
    switch (rng.Below(horizontal ? 7 : 6)) {
        case 0: Fix(o, Slot::Diameter, D); break;
        case 1: Fix(o, Slot::HeavyLevel, rng.Uniform(0.1, 1.2)); break;
        case 2: Fix(o, Slot::LightLayerThickness, rng.Uniform(0.1, 1.5)); break;
        case 3:
            Fix(o, Slot::HeavyLevel, rng.Uniform(0.1, 1.0));
            Fix(o, Slot::LightLayerThickness, rng.Uniform(0.1, 1.2));
            if (rng.Chance(40)) Fix(o, Slot::Diameter, D);
            break;
        case 4:
            Fix(o, Slot::Diameter, D);
            if (rng.Chance(50)) Fix(o, Slot::Ratio, rng.Uniform(1.5, 6.0));
            if (horizontal && rng.Chance(50)) Fix(o, Slot::VapourSpaceHeight, D * rng.Uniform(0.1, 0.5));
            break;
        case 5:
            if (horizontal) {
                Fix(o, Slot::VapourSpaceHeight, rng.Uniform(0.3, 1.5));
            } else {
                Fix(o, Slot::OverallLength, rng.Uniform(2.0, 15.0));
                if (rng.Chance(50)) Fix(o, Slot::Ratio, rng.Uniform(2.0, 6.0));
            }
            break;
        default: Fix(o, Slot::LightResidenceTime, rng.Uniform(60.0, 1200.0)); break;
    }
    if (rng.Chance(30)) o.SetValue(kEmptyValue, Index(Slot::LightResidenceTime));
    if (rng.Chance(30)) o.SetValue(kEmptyValue, Index(Slot::HeavyResidenceTime));
    if (rng.Chance(20)) o.SetValue(rng.Uniform(0.0, 0.5), Index(Slot::MistEliminatorHeight));
    if (rng.Chance(15)) o.SetValue(static_cast<double>(1 + rng.Below(6)), Index(Slot::MaterialCode));
    if (rng.Chance(10)) Fix(o, Slot::WallThickness, rng.Uniform(0.005, 0.05));
}

inline void AddVector(ISeparatorSizing& o, CaseLine& line) {
    for (int i = 1; i <= kSlotCount; ++i) line.Add(o.GetValue(i));
}

inline void AddInputs(ISeparatorSizing& o, CaseLine& line) {
    const StreamState& s = static_cast<const SizingObject&>(o).Inputs();
    for (double v : {s.lightLiquidDensity, s.lightLiquidMassFlow, s.heavyLiquidDensity, s.heavyLiquidMassFlow,
                     s.pressure, s.temperature, s.vapourDensity, s.vapourMassFlow, s.vapourVolumeFlow,
                     s.lightLiquidVolumeFlow, s.heavyLiquidVolumeFlow, s.assumedLiquidPercent})
        line.Add(v);
}

}  // namespace reference_detail

/// Plays generated case `number` on a fresh object: every call's result, the vector after
/// the first sizing, and at the end the vector and the stream.
inline std::string PlayReferenceCase(int number) {
    using namespace reference_detail;
    CaseRandom rng(static_cast<std::uint64_t>(number));
    host::ObjectHandle handle = host::CreateSizingInstance();
    ISeparatorSizing& o = *handle;
    CaseLine line("case" + std::to_string(number));
    SetFeed(o, rng);
    const int orientation = rng.Below(3);  // 2: the sizing chooses
    if (orientation < 2) o.SetOrientation(orientation);
    const HRESULT first = o.Calculate(0);
    line.Add(first);
    if (first == SIZING_E_ORIENTATION) {
        line.Add(o.PresetOptions());
        line.Add(RunPath(o));
    }
    AddVector(o, line);
    const bool horizontal = o.GetValue(Index(Slot::Orientation)) == 1.0;

    switch (number % 5) {
        case 0:  // the same sizing again on the same object
            line.Add(o.Calculate(0));
            break;
        case 1:  // a host overwrites results, then runs the path once more
            for (Slot s : {Slot::WallThickness, Slot::VesselCost, Slot::PlatformCost, Slot::TotalCost})
                if (rng.Chance(60)) o.SetValue(rng.Uniform(-5.0, 5.0), Index(s));
            line.Add(RunPath(o));
            line.Add(RunPath(o));
            break;
        case 2:  // a changed feed or option before the next pass
            if (rng.Chance(50)) o.SetPressure(rng.Uniform(150.0, 9000.0));
            else if (rng.Chance(50)) o.SetTemperature(rng.Uniform(-20.0, 600.0));
            else o.SetValue(rng.Uniform(0.0, 0.05), Index(Slot::CorrosionAllowance));
            line.Add(RunPath(o));
            line.Add(o.Calculate(0));
            break;
        default:  // a rating or a partly given design, step by step
            line.Add(o.PresetOptions());
            FixDesign(o, rng, horizontal);
            line.Add(RunPath(o));
            line.Add(RunPath(o));
            break;
    }
    if (horizontal) {
        line.Add(o.CalcHorizontalLevelTime());
    } else {
        double holdup = kEmptyValue;
        line.Add(o.CalcVerticalLevels(&holdup));
        line.Add(holdup);
    }
    AddVector(o, line);
    AddInputs(o, line);
    return line.Text();
}

/// FNV-1a over the text of a case line.
inline std::uint64_t LineDigest(const std::string& text) {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (unsigned char c : text) h = (h ^ c) * 0x100000001b3ULL;
    return h;
}

/// The line the reference file keeps for a case: its name, the digest, and in full for the
/// first cases the words themselves.
inline std::string ReferenceLine(int number) {
    const std::string played = PlayReferenceCase(number);
    char digest[20];
    std::snprintf(digest, sizeof digest, "%016" PRIx64, LineDigest(played));
    const std::size_t nameEnd = played.find(' ');
    std::string line = played.substr(0, nameEnd) + " " + digest;
    if (number < kReferenceCasesInFull) line += played.substr(nameEnd);
    return line;
}

/// The bundled example scripts, each with what the script runner prints for it.
inline std::vector<std::filesystem::path> ExampleScripts() {
    std::vector<std::filesystem::path> scripts;
    for (const auto& entry : std::filesystem::directory_iterator(kSourceRoot / "examples" / "scripts"))
        if (entry.path().extension() == ".json") scripts.push_back(entry.path());
    std::sort(scripts.begin(), scripts.end());
    return scripts;
}

inline std::string PlayExampleScript(const std::filesystem::path& script) {
    std::ifstream in(script);
    std::stringstream text;
    text << in.rdbuf();
    return script.filename().string() + " " + host::RunScript(text.str());
}

}  // namespace kestrol::testing_support
