// Text from an engineer's file (a case name, a path, an echoed key) as the host shows it to a
// person: on a terminal, in a text report or in a drawing, where a control character would act
// instead of being seen.
#pragma once

#include <string>
#include <string_view>

namespace kestrol::host {

/// The text with every control character written out: C0 controls (tab, newline and carriage
/// return too), DEL and the C1 controls U+0080 to U+009F as \u001B and so on, the notation a case
/// file's JSON writes them in; U+FFFE and U+FFFF the same way, and a byte that is not UTF-8 as
/// \xFF. Everything else is kept as it is, backslashes included. The result is one line of UTF-8
/// that holds only characters XML 1.0 allows.
std::string VisibleText(std::string_view text);

}  // namespace kestrol::host
