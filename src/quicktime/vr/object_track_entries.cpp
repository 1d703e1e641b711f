#include "quicktime/vr/object_track_entries.h"

#include <array>

#include "quicktime/base/byte_io.h"

namespace qm {

namespace {

constexpr OSType kObjectData = fourCC("obji");
constexpr std::size_t kEntrySize = 10;
constexpr std::array<OSType, 2> kImageNames{fourCC("imgt"), fourCC("imtr")};
constexpr std::array<OSType, 2> kHotSpotNames{fourCC("hott"), fourCC("hstr")};

// The places an entry may be: the sample's root, then 'obji' when it is a parent.
std::array<AtomRef, 2> entryParents(const AtomContainer& sample)
{
    const AtomRef obji = sample.findChild(AtomContainer::kRoot, kObjectData);
    return {AtomContainer::kRoot, obji && sample.countChildren(obji) > 0 ? obji : AtomRef()};
}

std::int32_t entryIndex(const AtomContainer& sample, const std::array<OSType, 2>& names)
{
    for (const AtomRef parent : entryParents(sample)) {
        if (!sample.isValid(parent))
            continue;
        for (const OSType name : names) {
            const auto entry = sample.data(sample.findChild(parent, name));
            if (entry.size() >= kEntrySize) {
                const auto index = std::int32_t(loadBE32(entry.data() + 6));
                return index > 0 ? index : 1;
            }
        }
    }
    return 1;
}

} // namespace

ObjectTrackEntries readObjectTrackEntries(const AtomContainer& sample)
{
    return {entryIndex(sample, kImageNames), entryIndex(sample, kHotSpotNames)};
}

void removeObjectTrackEntries(AtomContainer& sample)
{
    // The 'obji' parent is looked up again after the root's removals, which move references.
    for (int pass = 0; pass < 2; ++pass) {
        const AtomRef parent = entryParents(sample)[std::size_t(pass)];
        if (!sample.isValid(parent))
            continue;
        for (const auto& names : {kImageNames, kHotSpotNames})
            for (const OSType name : names)
                sample.removeChildren(parent, name);
    }
}

} // namespace qm
