#pragma once
// QuickTime VR facts of a movie as the movie toolbox sees them: the controller type in the
// movie's user data, QTVR movie recognition, and finding a track by its media type.
#include "quicktime/atoms/atom_container.h"
#include "quicktime/movie/movie.h"
#include "quicktime/base/os_types.h"
#include "quicktime/vr/vr_records.h"

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

// Rewrite the sample a single-node movie shows at track time 0 in its 'pano' / 'obje' track with
// the record given in host order ('pdat' / 'obji' by index 1 under the root), or in its first
// QTVR track with a new hot spot parent ('hspa' ID 1 holding copies of the root children of
// hotSpots; null removes it). The changed container is added as a new sample of the old one's
// duration (a 16-byte placeholder description for the records, the old description for the
// node sample), and the track is cut back to that one sample at time 0; the old sample stays in
// the media. Errors: cannotFindAtomErr when the sample lacks the record, invalidTrack when the
// movie has no QTVR track, and those of finding the track and of the movie and atom operations.
OSErr ReplacePanoramaSample(Movie* movie, const PanoramaSampleRecord& record);
OSErr ReplaceObjectSample(Movie* movie, const ObjectSampleRecord& record);
OSErr ReplaceHotSpotParent(Movie* movie, const AtomContainer* hotSpots);

} // namespace qm
