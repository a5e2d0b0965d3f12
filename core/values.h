// Values shared by every calculation: the empty marker and the constants that several
// subsystems write the same way. A constant used by one calculation only lives beside it.
#pragma once

#include <cmath>

namespace kestrol {

// The public host header defines the same marker; whichever comes first defines it.
#ifndef KESTROL_EMPTY_VALUE_DECLARED
#define KESTROL_EMPTY_VALUE_DECLARED
/// Marks an interface double as empty, unset or failed. Compared exactly: an agreed value,
/// not a measurement.
constexpr double kEmptyValue = -32767.0;
#endif

constexpr bool IsEmpty(double v) noexcept { return v == kEmptyValue; }

/// The circle constant as every formula here writes it; ten digits on purpose (the full
/// value would move the last bits of every result).
inline constexpr double kPi = 3.141592654;
/// pi/4 to ten digits, as the vessel formulas print it (not kPi / 4 evaluated).
inline constexpr double kPiOver4 = 0.7853981635;
/// pi/24: the volume of one 2:1 elliptical head is kPiOver24 * D^3.
inline constexpr double kPiOver24 = 0.13089969391666667;
/// 4 pi / 3 [-], the cubic term of the volume inside a vertical vessel's bottom head.
inline constexpr double kFourPiOver3 = 4.1887902053333335;

/// Sized diameters and heights are whole multiples of this step [m] (6 inches).
inline constexpr double kRoundingStep = 0.1524;
/// 1 / kRoundingStep [1/m], written as the formulas print it.
inline constexpr double kStepsPerMetre = 6.561679790026246;
/// One foot [m]: the smallest vapour space, level or diameter in several rules.
inline constexpr double kFoot = 0.3048;

/// Rounds a length up to a whole multiple of kRoundingStep [m].
inline double RoundUpToStep(double metres) noexcept {
    return std::ceil(metres * kStepsPerMetre) * kRoundingStep;
}

/// A value that may be stored as a result: finite and not negative (a negative number
/// would read as host-fixed, NaN would compare false everywhere).
inline bool IsStorableResult(double v) noexcept { return std::isfinite(v) && v >= 0.0; }

/// A value that is given and is a number: not the empty marker, not NaN or infinite.
inline bool IsSetAndFinite(double v) noexcept { return !IsEmpty(v) && std::isfinite(v); }

/// A length that can serve as a diameter or divisor: finite and greater than 0.
inline bool IsUsableLength(double v) noexcept { return std::isfinite(v) && v > 0.0; }

}  // namespace kestrol
