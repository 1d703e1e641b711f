#pragma once
// Texts of the node Properties page that follow from the node's records.
#include <string>

#include "project/scene.h"

namespace qm {

// Animation setting bits of the object sample record.
namespace AnimationFlag {
inline constexpr std::uint32_t kFrames = 1;
inline constexpr std::uint32_t kFramesBackAndForth = 2;
inline constexpr std::uint32_t kRestartEachView = 4;
inline constexpr std::uint32_t kViews = 8;
inline constexpr std::uint32_t kViewsBackAndForth = 16;
inline constexpr std::uint32_t kSyncViewsToFrames = 32;
inline constexpr std::uint32_t kFramesNoLoop = 64;
} // namespace AnimationFlag

// A rate as the summary prints it: truncated towards zero, made positive, "%1.1f" without
// trailing zeros or point (-2.7 gives "2").
std::string speedText(float rate);
// The one-line summary of an object record's animation settings ("None" when there are none).
std::string animationSummary(const ObjectSampleRecord& record);
// The summary for the node: "<n/a>" for kinds without animation settings.
std::string animationSummary(const Node& node);
bool hasAnimationSettings(const Node& node);

} // namespace qm
