// What the object asks its host through the property callback, and how far it trusts the
// answer: the object and every host that answers share these.
#pragma once

#include <cstdint>

namespace kestrol {

/// The code passed to the callback.
enum HostCode : std::int32_t {
    kAssumedPercentCode = 0,  ///< share of the vapour to take as liquid [%]
    kAssumedDensityCode = 1,  ///< that liquid's density [kg/m3]
};

/// Bounds the object holds an answered share to [%]; a case file refuses a share outside them.
inline constexpr double kLeastAssumedPercent = 0.5;
inline constexpr double kMostAssumedPercent = 10.0;

}  // namespace kestrol
