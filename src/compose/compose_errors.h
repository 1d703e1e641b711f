#pragma once
// Messages for the composer's own error codes, falling back to the program's error table.
#include <string_view>

#include "quicktime/base/os_types.h"

namespace qm {

inline constexpr std::string_view kNoFreeHotSpotIdMessage =
    "This node has no free hot spot ID left. Delete a hot spot before adding another.";
inline constexpr std::string_view kGenericNodeMessage =
    "The scene holds a Generic Node without media. Give it a media file or delete it before composing.";
inline constexpr std::string_view kNothingToComposeMessage =
    "The scene has no panorama, object, still image or movie node to compose.";

std::string_view composeErrorMessage(OSErr code);

} // namespace qm
