#pragma once
// Hot spot tracks of panoramas stored upright: cubic panoramas and horizontal cylinders keep
// their hot spots in their own layout, tile for tile in the grid of their image track.
//
// The node's image coordinates for them: a horizontal cylinder's upright picture (imageSizeX
// wide, imageSizeY high); a cube's six faces side by side (front, right, back, left, top,
// bottom), each face at the image track's full resolution (6 x face wide, face high).
#include "compose/compose_environment.h"
#include "project/scene.h"
#include "quicktime/movie/movie.h"

namespace qm {

// The tile grid of a cube or horizontal cylinder: the image rectangle in node coordinates, the
// tile size and, for cubes, the tiles per face side.
struct UprightPanoramaGrid {
    Rect imageRect;
    int tileWidth = 0, tileHeight = 0;
    int tileCount = 0;
    int tilesAcross = 0;      // cylinders: tiles per row, stored row by row
    int cubeTilesPerSide = 0; // 0: a horizontal cylinder
    // The rectangle of tile i (stored order) in node image coordinates.
    Rect tile(int i) const;
};

// The grid of the panorama whose 'pdat' record is given; pano is its panorama track.
// invalidTrack when the image track is missing or its tiles do not make six square faces
// (cubes) or the record's grid (cylinders).
OSErr uprightPanoramaGrid(const Track& pano, const PanoramaSampleRecord& record, UprightPanoramaGrid& out);

// Rebuilds the hot spot track of a cubic or horizontal-cylinder panorama working copy from the
// node's hot spots (not empty): one upright tile per image tile, spread over the panorama's
// duration, an 'smc ' tile per painted tile and a shared blank one elsewhere. The 'pdat' record
// takes the hot spot track's index, size and grid (those of the image track), node's media
// data the new record, and the hot spot atoms are replaced.
OSErr writeUprightPanoramaHotSpots(const Scene& scene, Node& node, Movie& workingCopy, Track& pano,
                                   PanoramaSampleRecord record, const ComposeEnvironment& env);

} // namespace qm
