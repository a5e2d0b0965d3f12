// Standard steel pipe, schedule 40, as data: nominal size [in] and inside diameter [mm].
// Source: ASME B36.10M, Welded and Seamless Wrought Steel Pipe, schedule 40 (metric
// dimensions), as CalebBell/fluids tabulates it (fluids/piping.py, NPS40 and S40i). Sizes
// below NPS 1 are left out: no vessel nozzle is smaller. Schedule 40 is the table's own
// thickness for carbon-steel process nozzles of these sizes; NPS 30 has no schedule 40 there.
#pragma once

namespace kestrol::process {

struct PipeRow {
    double nps;     ///< [in]
    double idMm;    ///< [mm]
};

inline constexpr PipeRow kSchedule40[] = {
    {1, 26.64},    {1.25, 35.08}, {1.5, 40.94},  {2, 52.48},    {2.5, 62.68},  {3, 77.92},    {3.5, 90.12},
    {4, 102.26},   {5, 128.2},    {6, 154.08},   {8, 202.74},   {10, 254.46},  {12, 303.18},  {14, 333.34},
    {16, 381},     {18, 428.46},  {20, 477.82},  {24, 575.04},  {32, 778.04},  {34, 829.04},  {36, 875.9},
};

}  // namespace kestrol::process
