// Standard steel pipe, schedule 40, as data: nominal size [in], inside diameter, outside
// diameter and wall [mm]. Source: ASME B36.10M, Welded and Seamless Wrought Steel Pipe,
// schedule 40 (metric dimensions), as CalebBell/fluids tabulates it (fluids/piping.py, NPS40,
// S40i, S40o and S40t). Sizes below NPS 1 are left out: no vessel nozzle is smaller. Schedule 40
// is the table's own thickness for carbon-steel process nozzles of these sizes; NPS 30 has no
// schedule 40 there.
#pragma once

namespace kestrol::process {

struct PipeRow {
    double nps;     ///< [in]
    double idMm;    ///< [mm]
    double odMm;    ///< [mm]
    double wallMm;  ///< [mm]
};

inline constexpr PipeRow kSchedule40[] = {
    {1, 26.64, 33.4, 3.38},     {1.25, 35.08, 42.2, 3.56},  {1.5, 40.94, 48.3, 3.68},   {2, 52.48, 60.3, 3.91},
    {2.5, 62.68, 73, 5.16},     {3, 77.92, 88.9, 5.49},     {3.5, 90.12, 101.6, 5.74},  {4, 102.26, 114.3, 6.02},
    {5, 128.2, 141.3, 6.55},    {6, 154.08, 168.3, 7.11},   {8, 202.74, 219.1, 8.18},   {10, 254.46, 273, 9.27},
    {12, 303.18, 323.8, 10.31}, {14, 333.34, 355.6, 11.13}, {16, 381, 406.4, 12.7},     {18, 428.46, 457, 14.27},
    {20, 477.82, 508, 15.09},   {24, 575.04, 610, 17.48},   {32, 778.04, 813, 17.48},   {34, 829.04, 864, 17.48},
    {36, 875.9, 914, 19.05},
};

}  // namespace kestrol::process
