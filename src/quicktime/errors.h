#pragma once
// The 16-bit error codes of the program: 0, Macintosh and QuickTime codes (negative) and the
// program's own positive codes. Messages for them live in app/core/error_table.
#include "quicktime/os_types.h"

namespace qm::err {

constexpr OSErr noErr = 0;
// Macintosh file and memory manager
constexpr OSErr ioErr = -36;
constexpr OSErr eofErr = -39;          // premature end of file
constexpr OSErr posErr = -40;          // position before the start of the file
constexpr OSErr fnfErr = -43;          // file not found
constexpr OSErr wPrErr = -44;          // volume locked
constexpr OSErr fLckdErr = -45;        // file locked
constexpr OSErr dupFNErr = -48;        // duplicate file name
constexpr OSErr opWrErr = -49;         // file already open for writing
constexpr OSErr paramErr = -50;        // bad parameter, also a bad project trailer
constexpr OSErr permErr = -54;
constexpr OSErr dskFulErr = -34;
constexpr OSErr memFullErr = -108;
constexpr OSErr nilHandleErr = -109;
constexpr OSErr userCanceledErr = -128;
constexpr OSErr resNotFound = -192;
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
constexpr OSErr progressProcAborted = -2019;
constexpr OSErr noCodecErr = -8961;     // no codec for this image
constexpr OSErr codecErr = -8960;       // the codec failed on this data
// Atom containers: a required record is missing, or an atom does not exist.
constexpr OSErr cannotFindAtomErr = -2101;
constexpr OSErr invalidAtomErr = -2102;
constexpr OSErr invalidAtomContainerErr = -2103;
constexpr OSErr invalidAtomTypeErr = -2104;
constexpr OSErr invalidAtomIdErr = -2105;
constexpr OSErr missingRecord = -2106;
// The program's own
constexpr OSErr cancelledByUser = 128;
constexpr OSErr notQuickTimeVR2 = 134;
constexpr OSErr multiNodeMovie = 200;
constexpr OSErr nodesGivenIds = 201;

} // namespace qm::err
