// The title block of a case's datasheet: words the engineer gives for the drawing office that
// no calculation reads. Optional strings at the top of a case file, and columns of a CSV batch
// that the batch accepts and leaves alone (it writes no datasheet).
#pragma once

#include <string>
#include <string_view>

namespace kestrol::host {

struct TitleBlock {
    std::string tag;       ///< the equipment tag, e.g. "V-101"
    std::string service;   ///< what the vessel does, e.g. "Inlet gas scrubber"
    std::string revision;  ///< the revision being issued, e.g. "B"
};

/// The title block's keys, in the order a datasheet shows them.
inline constexpr const char* kTitleBlockKeys[] = {"tag", "service", "revision"};

/// The member a key names, or nullptr for any other key.
inline std::string* TitleField(TitleBlock& title, std::string_view key) {
    if (key == "tag") return &title.tag;
    if (key == "service") return &title.service;
    if (key == "revision") return &title.revision;
    return nullptr;
}

inline bool IsTitleKey(std::string_view key) {
    TitleBlock scratch;
    return TitleField(scratch, key) != nullptr;
}

}  // namespace kestrol::host
