#pragma once
// The messages the error report shows for error codes. Each message is a string resource of its
// own (ids 201 to 254, 250 unused); codes are compared exactly.
#include <array>
#include <string_view>

#include "quicktime/base/os_types.h"

namespace qm {

struct ErrorTableEntry {
    OSErr code;
    int stringId;
    std::string_view message;
};

// "\xE2\x80\x99" is the typographic apostrophe U+2019 in UTF-8.
inline constexpr std::array<ErrorTableEntry, 53> kErrorTable{{
    {128, 201, "Operation cancelled by user."},
    {-27, 202, "I/O Error."},
    {-33, 203, "File directory is full."},
    {-34, 204, "Disk volume is full."},
    {-35, 205, "Disk volume not found."},
    {-36, 206, "I/O Error."},
    {-37, 207, "Bad file or volume name."},
    {-38, 208, "File not open."},
    {-39, 209, "Premature end-of-file."},
    {-43, 210, "File not found."},
    {-44, 211, "Disk is write-protected."},
    {-45, 212, "File is write-protected."},
    {-46, 213, "Volume is write-protected."},
    {-47, 214, "File is open by another application."},
    {-48, 215, "Another file with the same name already exists."},
    {-49, 216, "File is open by another application."},
    {-53, 217, "Volume is offline."},
    {-54, 218, "You do not have adequate permission to work with this file."},
    {-59, 219, "Could not rename file."},
    {-61, 220, "You do not have adequate permission to work with this file."},
    {-100, 221, "Could not initialize clipboard."},
    {-108, 222, "Not enough memory to complete this operation."},
    {-128, 223, "Operation cancelled by user."},
    {-143, 224, "QuickDraw error."},
    {-144, 225, "QuickDraw error."},
    {-145, 226, "QuickDraw error."},
    {-147, 227, "QuickDraw error."},
    {-149, 228, "QuickDraw error."},
    {-151, 229, "Not enough memory to complete this operation."},
    {-152, 230, "Not enough memory to complete this operation."},
    {-157, 231, "QuickDraw error."},
    {-192, 232, "Resource not found."},
    {-193, 233, "Resource not found."},
    {-199, 234, "Resource map damaged."},
    {-8960, 235, "General codec failure."},
    {-8961, 236, "Codec not available."},
    {-8962, 237, "Codec connot perform requested operation."},
    {-8972, 238, "Codec connot perform requested operation."},
    {-8973, 239, "Could not open codec."},
    {-2003, 240, "Can\xE2\x80\x99t find handler."},
    {-2004, 241, "Can\xE2\x80\x99t open handler."},
    {-2005, 242, "Bad component data."},
    {-2006, 243, "Media has no handler."},
    {-2007, 244, "Media has no handler."},
    {-2008, 245, "Invalid media."},
    {-2009, 246, "Invalid track."},
    {-2010, 247, "Invalid movie."},
    {-2019, 248, "Operation aborted."},
    {-2048, 249, "Cannot locate movie in file."},
    {134, 251, "Version 2.0 (or later) of QuickTime VR is required."},
    {200, 252, "Cannot add a multi-node movie to this scene."},
    {201, 253, "One or more nodes are missing information and may need to be removed."},
    // A folder, device, named pipe or socket where a file belongs.
    {-1302, 254, "The item is not a file."},
}};

// The message of a code the table lacks; the report appends the code in parentheses.
inline constexpr std::string_view kUnknownErrorMessage = "An error occured: ";

constexpr const ErrorTableEntry* findErrorEntry(OSErr code)
{
    for (const auto& e : kErrorTable)
        if (e.code == code)
            return &e;
    return nullptr;
}

constexpr std::string_view errorMessage(OSErr code)
{
    const ErrorTableEntry* e = findErrorEntry(code);
    return e ? e->message : kUnknownErrorMessage;
}

} // namespace qm
