#pragma once
// Payloads of the QuickTime VR 2.x atoms the composer writes: string atoms, the world header,
// panorama imaging, node location and node header. All big-endian.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "quicktime/atoms/atom_container.h"
#include "quicktime/base/byte_io.h"
#include "quicktime/base/os_types.h"

namespace qm {

namespace vrAtom {
inline constexpr OSType kString = fourCC("vrsg");
inline constexpr OSType kStringEncoding = fourCC("vrse");
inline constexpr OSType kWorldHeader = fourCC("vrsc");
inline constexpr OSType kImagingParent = fourCC("imgp");
inline constexpr OSType kPanoImaging = fourCC("impn");
inline constexpr OSType kNodeParent = fourCC("vrnp");
inline constexpr OSType kNodeId = fourCC("vrni");
inline constexpr OSType kNodeLocation = fourCC("nloc");
inline constexpr OSType kNodeHeader = fourCC("ndhd");
inline constexpr OSType kHotSpotParent = fourCC("hspa");
inline constexpr OSType kHotSpot = fourCC("hots");
inline constexpr OSType kHotSpotInfo = fourCC("hsin");
inline constexpr OSType kLink = fourCC("link");
inline constexpr OSType kUrl = fourCC("url ");
inline constexpr OSType kPanoSample = fourCC("pdat");
inline constexpr OSType kObjectSample = fourCC("obji");
inline constexpr OSType kImageTrackRef = fourCC("imgt");
inline constexpr OSType kHotSpotTrackRef = fourCC("hott");
} // namespace vrAtom

// Node types of 'nloc' and 'ndhd', and the media types of the QTVR tracks.
namespace vrNodeType {
inline constexpr OSType kPanorama = fourCC("pano");
inline constexpr OSType kObject = fourCC("obje");
inline constexpr OSType kQtvr = fourCC("qtvr"); // the QTVR track's media and description format
} // namespace vrNodeType

// 'pano' for panorama nodes, 'obje' for object, still-image and linear-movie nodes, 0 otherwise.
OSType vrNodeTypeForKind(OSType nodeKind);

// A 'vrsg' payload: usage 1, the length, the characters, a zero byte and three zero bytes of
// padding (length + 8 bytes). The characters are the bytes given; longer than 65535 are cut.
Bytes stringAtomData(std::string_view bytes);
// Inserts UTF-8 text as a 'vrsg' atom under parent in its stored form (encodeStoredText) and,
// for text beyond ASCII, a 'vrse' atom of the same ID naming the encoding. id 0: a fresh ID,
// returned in insertedId.
OSErr insertStringAtom(AtomContainer& c, AtomRef parent, AtomID id, std::string_view text, AtomID* insertedId = nullptr);
// Removes the string atom with that ID under parent and its encoding atom.
void removeStringAtom(AtomContainer& c, AtomRef parent, AtomID id);
// The text of a 'vrsg' payload, bounded by both the stored length and the payload.
std::string stringAtomText(std::span<const std::uint8_t> data);

// 'vrsc', 24 bytes, version 2.0, flags 0.
Bytes worldHeaderData(std::uint32_t nameAtomId, std::uint32_t defaultNodeId);

enum class ImagingMode : std::uint32_t { staticMode = 1, motion = 2 };
// 'impn', 56 bytes, version 2.0, all three valid flags set. correction 0 none .. 2 full; quality
// on the QuickTime quality scale.
Bytes panoImagingData(ImagingMode mode, std::uint32_t correction, std::uint32_t quality, bool directDraw);

// 'nloc', 24 bytes, version 2.0, the node in the same file.
Bytes nodeLocationData(OSType nodeType);

struct NodeHeader {
    static constexpr std::size_t kSize = 28;
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    OSType nodeType = 0;
    std::uint32_t nodeId = 0;
    std::uint32_t nameAtomId = 0;
    std::uint32_t commentAtomId = 0;
    std::uint32_t reserved1 = 0;
    std::uint32_t reserved2 = 0;

    // Fewer bytes read as zeros.
    static NodeHeader fromBytes(std::span<const std::uint8_t> bytes);
    Bytes toBytes() const;
};

// The one-slider-position imaging settings of a scene (1..3) as 'impn' values.
std::uint32_t imagingCorrection(std::int16_t setting); // 1, 2, 3 -> 0, 1, 2
std::uint32_t imagingQuality(std::int16_t setting);    // 1, 2, 3 -> 256, 512, 768

} // namespace qm
