#pragma once
// The VR world of a composed scene, the one-node worlds and node headers of converted
// QuickTime VR 1.x movies, the node header update every node writer applies, and the QTVR
// sample description that carries a world.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "project/scene.h"
#include "quicktime/atoms/atom_container.h"

namespace qm {

// Indices into scene.nodes in composing order: every initial node, then the others, each group
// in array order. Generic nodes included.
std::vector<std::size_t> composeOrder(const Scene& scene);

// The first initial node's ID, else the first node's, 0 for an empty scene.
std::int16_t initialNodeId(const Scene& scene);

// The world of the whole scene: its name string, header, the static and motion imaging atoms
// from the scene's imaging settings, and one 'vrni' per node in composing order. On failure
// `out` is left empty.
OSErr buildVrWorld(const Scene& scene, AtomContainer& out);

// The world of a single-node movie with node ID 1 (nodeType 'pano' or 'obje'); panoramas also
// get imaging atoms (static: full correction, high quality; motion: full correction, low
// quality, direct draw).
OSErr buildOneNodeWorld(OSType nodeType, AtomContainer& out);

// A node information container with just an 'ndhd' for node ID 1 of the given type.
OSErr buildOneNodeHeader(OSType nodeType, AtomContainer& out);

// Gives a node's own QTVR sample (its node information container) the node's ID, name and
// comment: the strings the header named are removed and fresh 'vrsg' atoms inserted for a
// non-empty name and comment. A container without 'ndhd' gets one (version and type 0).
// Failures leave the container partly updated.
OSErr updateNodeHeader(const Node& node, AtomContainer& nodeInfo);

// The QTVR track's sample description: the 16-byte general header (size, 'qtvr', reserved,
// data reference index 1) followed by the serialized world.
Bytes qtvrSampleDescription(const AtomContainer& world);

} // namespace qm
