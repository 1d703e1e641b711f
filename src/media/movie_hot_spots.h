#pragma once
// The hot spots a QuickTime VR movie brings with it: the hot spot atoms of a 2.x node (or the
// hot spot table of a 1.x panorama node) and the pixels of its hot spot track, turned into hot
// spot records of a node.
//
// Coordinates: the records' bounds and regions are in the node's image coordinates: the
// unrolled panorama (as wide as the stored image is tall) for vertical cylinders of 1.x and
// 2.x, the upright picture for horizontal cylinders, the six faces side by side at the image
// track's resolution for cubes (front, right, back, left, top, bottom), and the object image
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

// The region drawn on a grid of cell x cell squares anchored at its top-left corner: every
// row band of cells takes the union of the region's rows in it, each span widened outwards to
// whole cells (clipped to the region's bounds). Covers every pixel of the region; same bounds.
Region coarsenedRegion(const Region& region, int cell);

// Gives a hot spot the traced region as its shape: a rectangle (shape 4) when the region is one,
// else a region (shape 2) with its stored outline. A region whose outline exceeds the stored
// form's 64 KB is coarsened (cells of 2, 4, 8 ... pixels) until it fits; only one that cannot be
// stored at all (beyond the 16-bit plane) keeps its bounding rectangle. False for an empty
// region.
bool setHotSpotShape(HotSpot& hotSpot, const Region& region);

// The hot spot records of a single-node QuickTime VR panorama or object movie: the hot spot
// atoms (1.x panoramas: the 'pHot' table with its 'pLnk' links) with every ID's pixels traced
// from the hot spot track (every panorama layout unrolled, every object view). An ID with
// pixels but no description becomes an 'undf' hot spot; one described but without pixels is
// left out. Movies without a hot spot track (and 1.x objects) give none and no error.
OSErr readMovieHotSpots(const Movie& movie, std::vector<HotSpot>& out, std::string* detail = nullptr);
OSErr readMovieHotSpots(const std::filesystem::path& file, std::vector<HotSpot>& out, std::string* detail = nullptr);

} // namespace qm
