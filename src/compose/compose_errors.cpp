#include "compose/compose_errors.h"

#include "appcore/error_table.h"
#include "quicktime/base/errors.h"

namespace qm {

std::string_view composeErrorMessage(OSErr code)
{
    switch (code) {
    case err::noFreeHotSpotId: return kNoFreeHotSpotIdMessage;
    case err::genericNodeInScene: return kGenericNodeMessage;
    case -1: return kNothingToComposeMessage;
    default: return errorMessage(code);
    }
}

} // namespace qm
