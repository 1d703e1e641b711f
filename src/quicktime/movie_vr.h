#pragma once
// QuickTime VR facts of a movie as the movie toolbox sees them: the controller type in the
// movie's user data, QTVR movie recognition, and finding a track by its media type.
#include "quicktime/movie.h"
#include "quicktime/os_types.h"

namespace qm {

constexpr OSType kControllerTypeItem = fourCC("ctyp");
constexpr OSType kQTVR2ControllerType = fourCC("qtvr");
constexpr OSType kQTVR1PanoramaControllerType = fourCC("STpn");
constexpr OSType kQTVR1ObjectControllerType = fourCC("stna");
// Stands for a movie without a controller type.
constexpr OSType kUnknownControllerType = fourCC("????");

// The 'ctyp' user data item; "????" for a null movie or a missing or short item.
OSType GetControllerType(const Movie* movie);
// Sets the 'ctyp' item (4 bytes, big-endian). paramErr for a null movie.
OSErr SetControllerType(Movie* movie, OSType type);
bool IsQuickTimeVRMovie(const Movie* movie);
bool IsQuickTimeVR2Movie(const Movie* movie);
// The first track (by index) whose media type is mediaType. Tracks that have no media yet are
// passed over. Without a match the result is badTrackIndex (the error of asking for the track
// after the last) and the outputs are left untouched. Either output may be null.
OSErr FindTrackByMediaType(const Movie* movie, OSType mediaType, Track** outTrack, Media** outMedia);

} // namespace qm
