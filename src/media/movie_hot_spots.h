#pragma once
// The hot spots a QuickTime VR 2.x movie brings with it: the 'hots' atoms of its node and the
// pixels of its hot spot track, turned into hot spot records of a node.
//
// Coordinates: the records' bounds and regions are in the node's image coordinates, the
// unrolled panorama (as wide as the stored image is tall) for panoramas and the object image
// track's frame for object movies. A hot spot track of another size is mapped onto them.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "project/scene.h"
#include "quicktime/atoms/atom_container.h"
#include "quicktime/raster/offscreen_picture.h"
#include "quicktime/raster/region.h"

namespace qm {

class Movie;
class Track;

// The hot spot records described by a node information container's hot spot parent ('hspa'):
// ID, type, name, comment, URL, cursors, link destination and views, in atom order. Shape and
// bounds are left empty; atoms with IDs outside 1..254 are passed over. A link keeps its stored
// views exactly: its "to" view becomes the custom link view and its "from" view the second
// view, each with the set flags the atom holds.
std::vector<HotSpot> hotSpotsFromNodeInfo(const AtomContainer& nodeInfo);

// One region per pixel value other than 0 of an 8-bit picture, in the picture's coordinates.
std::map<int, Region> traceIndexedPicture(const OffscreenPicture& picture);

// Gives a hot spot the traced region as its shape: a rectangle (shape 4) when the region is one,
// else a region (shape 2) with its stored outline. A region too complex for the stored form
// keeps its bounding rectangle. False for an empty region.
bool setHotSpotShape(HotSpot& hotSpot, const Region& region);

// The hot spot records of a single-node QuickTime VR 2.x panorama or object movie: the hot spot
// atoms with every ID's pixels traced from the hot spot track (a vertical cylinder's tiles
// unrolled, every object view). An ID with
// pixels but no atoms becomes an 'undf' hot spot; one with atoms but no pixels is left out.
// Movies without a hot spot track (and 1.x movies) give none and no error.
OSErr readMovieHotSpots(const Movie& movie, std::vector<HotSpot>& out, std::string* detail = nullptr);
OSErr readMovieHotSpots(const std::filesystem::path& file, std::vector<HotSpot>& out, std::string* detail = nullptr);

} // namespace qm
