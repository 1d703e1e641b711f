#pragma once
// The track reference entries of a 2.x object sample: which of the object track's 'imgt' and
// 'hott' references hold its image and hot spot frames. Files name the entries 'imgt'/'hott' or
// 'imtr'/'hstr'; each is a 10-byte record (reference type, resolution, 1-based index) at the root
// of the sample, or inside 'obji' where that atom has children. Every reader and writer of object
// samples goes through these two functions.
#include <cstdint>

#include "quicktime/atoms/atom_container.h"

namespace qm {

struct ObjectTrackEntries {
    std::int32_t image = 1;   // 1 where the entry is absent, short or not positive
    std::int32_t hotSpot = 1;
};

ObjectTrackEntries readObjectTrackEntries(const AtomContainer& sample);
// Removes every entry atom, under either name and in either place.
void removeObjectTrackEntries(AtomContainer& sample);

} // namespace qm
