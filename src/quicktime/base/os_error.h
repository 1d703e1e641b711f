#pragma once
#include "quicktime/base/os_types.h"

namespace qm {

// The error code the program reports for a failed system call's errno.
OSErr osErrorFromErrno(int errorNumber);

} // namespace qm
