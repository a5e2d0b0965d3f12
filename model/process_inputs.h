// What a case gives for the process design basis beside the stream and the design block: fluid
// properties and internals the sizing never reads, but the settling and nozzle checks do. Read
// from the top level of a JSON case file and from flat CSV columns of the same names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/values.h"

namespace kestrol::host {

// --- Droplet settling and nozzles ---

/// The element under the vapour outlet that catches the droplets the gravity section leaves.
enum class MistEliminator { Unset, None, Mesh, Vane, Cyclone };
/// What the feed meets as it enters the vessel.
enum class InletDevice { Unset, None, HalfPipe, Vane, Cyclone };

struct ProcessInputs {
    // Droplet settling and nozzles: kEmptyValue (or Unset) where the case gives nothing.
    double vapourViscosity = kEmptyValue;       ///< [Pa s]
    double lightLiquidViscosity = kEmptyValue;  ///< [Pa s]
    double heavyLiquidViscosity = kEmptyValue;  ///< [Pa s]
    MistEliminator mistEliminator = MistEliminator::Unset;
    InletDevice inletDevice = InletDevice::Unset;
};

/// The settling and nozzle keys, as a case file and a CSV header name them.
const std::vector<std::string>& SettlingKeyNames();

/// Index of a settling or nozzle key in SettlingKeyNames(), or -1.
int FindSettlingKey(std::string_view key);

/// Reads a number for a numeric key or a word for a word key into `p`; the reason it is
/// refused, or an empty string. `number` is used for a numeric key, `word` for a word key;
/// `isNumber` says which the input held.
std::string ReadSettlingValue(int key, bool isNumber, double number, std::string_view word, ProcessInputs& p);

/// Reads a CSV field (empty: not given) for the key; the reason it is refused, or empty.
std::string ReadSettlingField(int key, std::string_view field, ProcessInputs& p);

/// Whether the key takes a word (mist_eliminator, inlet_device) rather than a number.
bool IsSettlingWordKey(int key);

/// What `p` holds for the key: its number (kEmptyValue when not given) for a numeric key, or
/// its word (empty when not given) for a word key.
struct SettlingValue {
    double number = kEmptyValue;
    const char* word = "";
};
SettlingValue GetSettlingValue(int key, const ProcessInputs& p);

/// Forgets what `p` holds for the key.
void ClearSettlingValue(int key, ProcessInputs& p);

const char* MistEliminatorWord(MistEliminator m);
const char* InletDeviceWord(InletDevice d);

}  // namespace kestrol::host
