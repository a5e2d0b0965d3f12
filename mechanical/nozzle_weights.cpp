#include "mechanical/nozzle_weights.h"

#include <cmath>
#include <cstddef>
#include <iterator>

#include "core/values.h"
#include "mechanical/design_conditions.h"
#include "process/pipe_schedule.h"

namespace kestrol::mechanical {
namespace {

/// Pressure-temperature ratings of material group 1.1 (A105 forgings, A216 WCB castings, A515 and
/// A516 grade 70 plate): working pressure by class [bar, gauge] at metal temperatures [deg C]
/// from "-29 to 38" up to 538 (ASME B16.5-2009, Table 2-1.1; the same values in the 2013 to 2020
/// editions). Straight-line interpolation between temperatures is permitted, between classes not
/// (as LESER Engineering Handbook ch. 10.4, LWN 758.00, 2010, restates the standard).
constexpr double kRatingTemperaturesC[] = {38, 50, 100, 150, 200, 250, 300, 325, 350, 375, 400, 425, 450, 475, 500, 538};
constexpr std::size_t kRatingRows = std::size(kRatingTemperaturesC);
constexpr std::size_t kClassCount = std::size(kFlangeClasses);
constexpr double kRatingsBar[kClassCount][kRatingRows] = {
    {19.6, 19.2, 17.7, 15.8, 13.8, 12.1, 10.2, 9.3, 8.4, 7.4, 6.5, 5.5, 4.6, 3.7, 2.8, 1.4},
    {51.1, 50.1, 46.6, 45.1, 43.8, 41.9, 39.8, 38.7, 37.6, 36.4, 34.7, 28.8, 23.0, 17.4, 11.8, 5.9},
    {102.1, 100.2, 93.2, 90.2, 87.6, 83.9, 79.6, 77.4, 75.1, 72.7, 69.4, 57.5, 46.0, 34.9, 23.5, 11.8},
    {153.2, 150.4, 139.8, 135.2, 131.4, 125.8, 119.5, 116.1, 112.7, 109.1, 104.2, 86.3, 69.0, 52.3, 35.3, 17.7},
    {255.3, 250.6, 233.0, 225.4, 219.0, 209.7, 199.1, 193.6, 187.8, 181.8, 173.6, 143.8, 115.0, 87.2, 58.8, 29.5},
};
constexpr double kKpaPerBar = 100.0;

/// Mass of one raised-face weld-neck flange, carbon steel A105 [kg per piece], by nominal size
/// [in] and class 150, 300, 600, 900, 1500 (WERMAC, ASME B16.5 flange weight chart, compiled from
/// Texas Flange's manufacturer tables). NPS 3 1/2 is not in the chart; above NPS 24 the flanges
/// are of ASME B16.47, not weighed here.
struct FlangeMassRow {
    double nps;
    double kg[kClassCount];
};
constexpr FlangeMassRow kWeldNeckMass[] = {
    {1, {1.4, 1.8, 1.8, 3.8, 4.1}},          {1.25, {1.4, 2.3, 2.7, 4.5, 4.5}},       {1.5, {1.8, 3.2, 3.6, 6.3, 6.3}},
    {2, {2.7, 4.1, 5.4, 10.8, 11.3}},        {2.5, {4.5, 5.4, 8.1, 13.9, 16.2}},      {3, {5.2, 8.1, 10.4, 16.2, 21.6}},
    {4, {7.4, 11.9, 18.9, 23.9, 32.9}},      {5, {9.5, 16.2, 30.6, 38.7, 59.4}},      {6, {11.7, 20.3, 36.5, 49.5, 74.3}},
    {8, {18.9, 31.1, 54.0, 84.2, 123.8}},    {10, {24.3, 45.0, 85.5, 120.6, 204.8}},  {12, {39.6, 63.9, 101.7, 167.4, 310.5}},
    {14, {51.3, 92.7, 156.2, 252.9, 423.0}}, {16, {63.0, 112.5, 216.5, 308.3, 562.5}}, {18, {74.3, 144.0, 249.8, 415.8, 731.3}},
    {20, {88.7, 180.0, 310.5, 523.8, 922.5}}, {24, {120.6, 261.0, 439.7, 948.2, 1496.0}},
};

/// Plain-end mass of steel pipe, W = 0.0246615 (D - t) t [kg/m] with D and t in mm, steel at
/// 7.85 g/cm3 (ASME B36.10M, the SI form of its plain-end mass formula).
constexpr double kPipeMassFactor = 0.0246615;

/// Least distance from the shell to the flange face of a flanged nozzle [mm] by nominal size
/// [in] (API 650, Welded Tanks for Oil Storage, Table 5.6a (SI), column 7 "J", as reproduced in
/// "Understanding API ICP653, Reading 2", 2015). The pressure-vessel code fixes no projection;
/// the tank standard's is the one standard figure by size. Sizes it does not list take the next
/// larger listed size's; above NPS 28 it lists none.
struct ProjectionRow {
    double nps;
    double mm;
};
constexpr ProjectionRow kProjection[] = {{1, 150},  {1.5, 150}, {2, 150},  {3, 175},  {4, 175},  {6, 200},  {8, 200}, {10, 225},
                                         {12, 225}, {14, 250},  {16, 250}, {18, 250}, {20, 275}, {22, 275}, {24, 300}, {28, 300}};
constexpr double kMetresPerMm = 1e-3;

int ClassIndex(int flangeClass) {
    for (std::size_t i = 0; i < kClassCount; ++i)
        if (kFlangeClasses[i] == flangeClass) return static_cast<int>(i);
    return -1;
}

const process::PipeRow* PipeOf(double nps) {
    for (const process::PipeRow& row : process::kSchedule40)
        if (row.nps == nps) return &row;
    return nullptr;
}

bool CarbonSteelFlanges(host::PlateGrade grade) {
    // A516 grade 70 plate, plain or impact tested, takes group 1.1 flanges (A105, or A350 LF2 cold).
    return grade == host::PlateGrade::SA516Gr70 || grade == host::PlateGrade::SA516Gr70LowTemperature;
}

}  // namespace

double FlangeRatingKpa(int flangeClass, double temperatureC) {
    const int k = ClassIndex(flangeClass);
    if (k < 0 || !(temperatureC <= kRatingTemperaturesC[kRatingRows - 1])) return kEmptyValue;
    const double* bar = kRatingsBar[k];
    if (temperatureC <= kRatingTemperaturesC[0]) return bar[0] * kKpaPerBar;
    std::size_t i = 1;
    while (kRatingTemperaturesC[i] < temperatureC) ++i;
    if (kRatingTemperaturesC[i] == temperatureC) return bar[i] * kKpaPerBar;
    const double t0 = kRatingTemperaturesC[i - 1], t1 = kRatingTemperaturesC[i];
    return (bar[i - 1] + (bar[i] - bar[i - 1]) * (temperatureC - t0) / (t1 - t0)) * kKpaPerBar;
}

int ChooseFlangeClass(double gaugeKpa, double temperatureC) {
    for (int flangeClass : kFlangeClasses) {
        const double rating = FlangeRatingKpa(flangeClass, temperatureC);
        if (!IsEmpty(rating) && gaugeKpa <= rating) return flangeClass;
    }
    return 0;
}

double WeldNeckFlangeMass(double nominalInches, int flangeClass) {
    const int k = ClassIndex(flangeClass);
    if (k < 0) return kEmptyValue;
    for (const FlangeMassRow& row : kWeldNeckMass)
        if (row.nps == nominalInches) return row.kg[k];
    return kEmptyValue;
}

double PipeMassPerMetre(double outsideMm, double wallMm) { return kPipeMassFactor * (outsideMm - wallMm) * wallMm; }

double NozzleProjection(double nominalInches) {
    for (const ProjectionRow& row : kProjection)
        if (nominalInches <= row.nps) return row.mm * kMetresPerMm;
    return kEmptyValue;
}

NozzleWeights WeighNozzles(const process::Nozzles& nozzles, host::PlateGrade grade, double designPressureKpa,
                           double designTemperatureC) {
    NozzleWeights w;
    if (nozzles.count == 0) return w;
    const double most = process::kLargestNozzleShare * nozzles.vesselDiameter;
    for (const process::Nozzle& n : nozzles) {
        if (!n.fits || n.insideDiameter > most) {
            w.gap = NozzleGap::DoesNotFit;
            return w;
        }
    }
    if (!CarbonSteelFlanges(grade)) {
        w.gap = NozzleGap::NoFlangeGroup;
        return w;
    }
    // Flanges are rated in gauge pressure; a vessel under vacuum takes the lightest class.
    const double gauge = std::fmax(designPressureKpa - kAtmosphereKpa, 0.0);
    w.flangeClass = ChooseFlangeClass(gauge, designTemperatureC);
    if (w.flangeClass == 0) {
        w.gap = NozzleGap::NoFlangeClass;
        return w;
    }
    for (const process::Nozzle& n : nozzles) {
        const process::PipeRow* pipe = PipeOf(n.nominalInches);
        const double flange = WeldNeckFlangeMass(n.nominalInches, w.flangeClass);
        const double projection = NozzleProjection(n.nominalInches);
        if (pipe == nullptr || IsEmpty(flange) || IsEmpty(projection)) {
            w.gap = NozzleGap::NoFlangeMass;
            w.count = 0;
            w.total = 0.0;
            return w;
        }
        // The neck runs the whole projection, the flange's hub inside it counted twice: a little heavy.
        NozzleWeight& item = w.items[w.count++];
        item.service = n.service;
        item.nominalInches = n.nominalInches;
        item.neck = PipeMassPerMetre(pipe->odMm, pipe->wallMm) * projection;
        item.flange = flange;
        w.total += item.Total();
    }
    w.gap = NozzleGap::None;
    w.computed = true;
    return w;
}

}  // namespace kestrol::mechanical
