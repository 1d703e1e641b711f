#include "quicktime/base/os_error.h"

#include <cerrno>

#include "quicktime/base/errors.h"

namespace qm {

OSErr osErrorFromErrno(int errorNumber)
{
    switch (errorNumber) {
    case 0: return err::noErr;
    case ENOENT:
    case ENOTDIR: return err::fnfErr;
    case EACCES:
    case EPERM: return err::permErr;
    case EROFS: return err::vLckdErr;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return err::dskFulErr;
    case EEXIST: return err::dupFNErr;
    case ENAMETOOLONG: return err::bdNamErr;
    case ENOMEM: return err::memFullErr;
    case EBUSY:
    case ETXTBSY: return err::fBsyErr;
    default: return err::ioErr;
    }
}

} // namespace qm
