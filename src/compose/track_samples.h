#pragma once
// Sample-level helpers over the movie layer used by the node writers and the working-copy
// editors.
#include <cstdint>
#include <span>
#include <vector>

#include "quicktime/atoms/atom_container.h"
#include "quicktime/movie/movie.h"

namespace qm {

// ShownSample and shownSamples come from the movie layer (quicktime/movie/movie_track.h).

// The first sample the track shows. Errors: timeNotInMedia for a track that shows nothing.
OSErr firstShownSample(const Track& track, MediaSample& out);

// Adds the sample to the track's media and shows it at trackTime for its duration (the media's
// and the movie's time scales must agree, as in every movie the composer makes).
OSErr appendSample(Track& track, std::span<const std::uint8_t> data, const SampleDescription& description,
                   TimeValue duration, TimeValue trackTime, std::uint32_t flags = 0);

// The first sample of a track as an atom container (node information, panorama and object
// samples). Errors: those of reading it, invalidAtomContainerErr.
OSErr readSampleContainer(const Track& track, AtomContainer& out, MediaSample* sample = nullptr);

// The track a one-node movie's QTVR track refers to with the given type ('pano', 'obje'), or the
// first track of that media type.
Track* vrTrack(Movie& movie, OSType mediaType);

// A placeholder 16-byte sample description (format 0) for panorama and object samples.
SampleDescription placeholderDescription();

} // namespace qm
