#include "mechanical/plate_grades.h"

#include <cmath>
#include <iterator>

#include "core/values.h"

namespace kestrol::mechanical {
namespace {

/// [kPa/ksi].
constexpr double kKpaPerKsi = 6894.75908677537;

// Maximum allowable stress values S [ksi] by metal temperature "not exceeding" [deg F], ASME BPVC
// Section II, Part D (customary), Table 1A, the lines of the editions since the 1999 addenda
// (tensile strength over 3.5). The first row stands for -20 to 100 deg F; the table's general
// notes allow straight-line interpolation between the listed temperatures. Rows of the table
// left blank (250 deg F for these lines) are left out.
//
// SA-516 Grade 70 plate, UNS K02700 (notes G10, S1, T2).
constexpr StressRow kSA516Gr70[] = {
    {100.0, 20.0}, {150.0, 20.0}, {200.0, 20.0}, {300.0, 20.0}, {400.0, 20.0}, {500.0, 20.0}, {600.0, 19.4},
    {650.0, 18.8}, {700.0, 18.1}, {750.0, 14.8}, {800.0, 12.0}, {850.0, 9.3},  {900.0, 6.7},  {950.0, 4.0},
    {1000.0, 2.5},
};
// SA-240 Type 304, UNS S30400, the line without note G5 (whose higher stresses accept slight
// permanent strain).
constexpr StressRow kSA240Type304[] = {
    {100.0, 20.0},  {200.0, 16.7},  {300.0, 15.0},  {400.0, 13.8},  {500.0, 12.9},  {600.0, 12.3},  {650.0, 12.0},
    {700.0, 11.7},  {750.0, 11.5},  {800.0, 11.2},  {850.0, 11.0},  {900.0, 10.8},  {950.0, 10.6},  {1000.0, 10.4},
    {1050.0, 10.1}, {1100.0, 9.8},  {1150.0, 7.7},  {1200.0, 6.1},  {1250.0, 4.7},  {1300.0, 3.7},  {1350.0, 2.9},
    {1400.0, 2.3},  {1450.0, 1.8},  {1500.0, 1.4},
};
// SA-240 Type 316, UNS S31600, the line without note G5.
constexpr StressRow kSA240Type316[] = {
    {100.0, 20.0},  {200.0, 17.3},  {300.0, 15.6},  {400.0, 14.3},  {500.0, 13.3},  {600.0, 12.6},  {650.0, 12.3},
    {700.0, 12.1},  {750.0, 11.9},  {800.0, 11.8},  {850.0, 11.6},  {900.0, 11.5},  {950.0, 11.4},  {1000.0, 11.3},
    {1050.0, 11.2}, {1100.0, 11.1}, {1150.0, 9.8},  {1200.0, 7.4},  {1250.0, 5.5},  {1300.0, 4.1},  {1350.0, 3.1},
    {1400.0, 2.3},  {1450.0, 1.7},  {1500.0, 1.3},
};

/// The low-temperature grade is the same SA-516 Grade 70 line ordered Charpy impact tested
/// (ASME BPVC VIII-1 UG-84) at -50 deg F [-46 deg C]: the test temperature is the coldest metal
/// temperature it is used at.
constexpr double kImpactTestedF = -50.0;
/// Austenitic stainless base metal is used without impact testing down to -320 deg F
/// [-196 deg C] (ASME BPVC VIII-1 UHA-51(d)).
constexpr double kAusteniticLeastF = -320.0;

template <std::size_t N>
constexpr GradeData Grade(host::PlateGrade g, const char* words, const StressRow (&rows)[N], double leastF, int code) {
    return {g, words, rows, N, leastF, code};
}

constexpr GradeData kGrades[] = {
    Grade(host::PlateGrade::SA516Gr70, "carbon steel plate, SA-516 grade 70", kSA516Gr70, kCarbonSteelLeastF, 1),
    Grade(host::PlateGrade::SA516Gr70LowTemperature, "low-temperature carbon steel plate, SA-516 grade 70 impact tested",
          kSA516Gr70, kImpactTestedF, 1),
    Grade(host::PlateGrade::SA240Type304, "stainless steel plate, SA-240 type 304", kSA240Type304, kAusteniticLeastF, 2),
    Grade(host::PlateGrade::SA240Type316, "stainless steel plate, SA-240 type 316", kSA240Type316, kAusteniticLeastF, 3),
};
static_assert(std::size(kGrades) == host::kPlateGradeCount, "one row per grade");

double Fahrenheit(double celsius) { return celsius * 1.8 + 32.0; }
double Celsius(double fahrenheit) { return (fahrenheit - 32.0) / 1.8; }

}  // namespace

const GradeData* DataOf(host::PlateGrade grade) {
    for (const GradeData& g : kGrades)
        if (g.grade == grade) return &g;
    return nullptr;
}

host::PlateGrade GradeOfMaterialCode(int code) {
    switch (code) {
        case 1:
        case 5: return host::PlateGrade::SA516Gr70;
        case 2: return host::PlateGrade::SA240Type304;
        case 3: return host::PlateGrade::SA240Type316;
        default: break;
    }
    return host::PlateGrade::Unset;
}

double AllowableStressKpa(host::PlateGrade grade, double temperatureC) {
    const GradeData* g = DataOf(grade);
    if (g == nullptr || !std::isfinite(temperatureC)) return kEmptyValue;
    const double f = Fahrenheit(temperatureC);
    if (f <= g->stress[0].temperatureF) return g->stress[0].ksi * kKpaPerKsi;
    for (std::size_t i = 1; i < g->rows; ++i) {
        const StressRow& lo = g->stress[i - 1];
        const StressRow& hi = g->stress[i];
        if (f <= hi.temperatureF) {
            const double share = (f - lo.temperatureF) / (hi.temperatureF - lo.temperatureF);
            return (lo.ksi + share * (hi.ksi - lo.ksi)) * kKpaPerKsi;
        }
    }
    return kEmptyValue;
}

double HighestListedC(host::PlateGrade grade) {
    const GradeData* g = DataOf(grade);
    return g ? Celsius(g->stress[g->rows - 1].temperatureF) : kEmptyValue;
}

double LeastMetalTemperatureC(host::PlateGrade grade) {
    const GradeData* g = DataOf(grade);
    return g ? Celsius(g->leastTemperatureF) : kEmptyValue;
}

}  // namespace kestrol::mechanical
