#pragma once
// The 16-bit error codes of the program: 0, Macintosh and QuickTime codes (negative) and the
// program's own positive codes. Messages for them live in appcore/error_table.
#include "quicktime/base/os_types.h"

namespace qm::err {

constexpr OSErr noErr = 0;
// Macintosh file and memory manager
constexpr OSErr ioErr = -36;
constexpr OSErr bdNamErr = -37;        // bad file name
constexpr OSErr eofErr = -39;          // premature end of file
constexpr OSErr posErr = -40;          // position before the start of the file
constexpr OSErr fnfErr = -43;          // file not found
constexpr OSErr wPrErr = -44;          // volume locked
constexpr OSErr fLckdErr = -45;        // file locked
constexpr OSErr vLckdErr = -46;        // volume locked (read-only file system)
constexpr OSErr fBsyErr = -47;         // file busy
constexpr OSErr dupFNErr = -48;        // duplicate file name
constexpr OSErr opWrErr = -49;         // file already open for writing
constexpr OSErr paramErr = -50;        // bad parameter, also a bad project trailer
constexpr OSErr permErr = -54;
constexpr OSErr fsRnErr = -59;         // rename failed
constexpr OSErr dskFulErr = -34;
constexpr OSErr memFullErr = -108;
constexpr OSErr nilHandleErr = -109;
constexpr OSErr userCanceledErr = -128;
constexpr OSErr resNotFound = -192;
// The QuickTime connection (what stands in for loading QuickTime and QuickTime VR)
constexpr OSErr quickTimeNotFound = -2093;       // the media libraries cannot be used at all
constexpr OSErr quickTimeEntryMissing = -2094;
constexpr OSErr quickTimeNotInitialized = -2095; // an operation before a successful start
constexpr OSErr qtvrLibraryUnavailable = -30554;
constexpr OSErr qtvrUninitialized = -30555;
constexpr OSErr gestaltUndefSelectorErr = -5551; // an attribute nobody answers
// QuickDraw
constexpr OSErr rgnTooBigErr = -500;    // a region too large for its 16-bit stored size
// QuickTime
constexpr OSErr couldNotResolveDataRef = -2000;
constexpr OSErr badImageDescription = -2001;
constexpr OSErr badPublicMovieAtom = -2002;
constexpr OSErr cantFindHandler = -2003;
constexpr OSErr invalidMedia = -2008;
constexpr OSErr invalidTrack = -2009;
constexpr OSErr invalidMovie = -2010;   // also: a movie whose structure is damaged
constexpr OSErr invalidSampleTable = -2011;
constexpr OSErr invalidDataRef = -2012;
constexpr OSErr invalidDuration = -2014;
constexpr OSErr invalidTime = -2015;
constexpr OSErr badEditList = -2017;
constexpr OSErr mediaTypesDontMatch = -2018;
constexpr OSErr progressProcAborted = -2019;
constexpr OSErr userDataItemNotFound = -2026;
constexpr OSErr badTrackIndex = -2028;   // also: a working copy without its 'qtvr' or 'pano' track
constexpr OSErr trackIDNotFound = -2029;
constexpr OSErr trackNotInMovie = -2030;
constexpr OSErr timeNotInTrack = -2031;
constexpr OSErr timeNotInMedia = -2032;
constexpr OSErr invalidSampleNum = -2037;
constexpr OSErr invalidSampleDescIndex = -2039;
constexpr OSErr dataNotOpenForWrite = -2043;
constexpr OSErr noMovieFound = -2048;    // no 'moov' atom where one was expected
constexpr OSErr badDataRefIndex = -2050;
constexpr OSErr noCodecErr = -8961;     // no codec for this image
constexpr OSErr codecErr = -8960;       // the codec failed on this data
// Atom containers (the values QuickTime gives these conditions).
constexpr OSErr cannotFindAtomErr = -2101;
constexpr OSErr notLeafAtomErr = -2102;          // data asked of an atom that has children
constexpr OSErr atomsNotOfSameTypeErr = -2103;
constexpr OSErr atomIndexInvalidErr = -2104;
constexpr OSErr duplicateAtomTypeAndIDErr = -2105;
constexpr OSErr invalidAtomIdErr = duplicateAtomTypeAndIDErr;
constexpr OSErr invalidAtomErr = -2106;          // no such atom
constexpr OSErr invalidAtomContainerErr = -2107; // serialized container is malformed
constexpr OSErr invalidAtomTypeErr = -2108;
constexpr OSErr cannotBeLeafAtomErr = -2109;     // children asked of an atom that holds data
// A required record of a project file is missing (QuickTime's answer for a missing atom).
constexpr OSErr missingRecord = invalidAtomErr;
// The program's own
constexpr OSErr cancelledByUser = 128;
constexpr OSErr quickTimeTooOld = 130;            // start-up: version check failed
constexpr OSErr quickTimeStartFailed = 135;       // start-up: initialisation failed
constexpr OSErr notQuickTimeVR2 = 134;
constexpr OSErr multiNodeMovie = 200;
constexpr OSErr nodesGivenIds = 201;
constexpr OSErr noFreeHotSpotId = 202;    // a node already holds hot spots with every usable ID
constexpr OSErr genericNodeInScene = 203; // composing a scene with a node that has no media

} // namespace qm::err
