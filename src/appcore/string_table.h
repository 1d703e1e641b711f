#pragma once
// The program's string resources that the alert service loads by id: the alert strings and the
// error messages of the error table.
#include <array>
#include <optional>
#include <string_view>

namespace qm {

enum AlertStringId : int {
    alertOk = 50,               // start-up failures
    alertOkCancel = 51,
    alertError = 80,            // error report
    alertErrorWithDetail = 81,  // error report with a detail text
    alertErrorOccurred = 130,
    alertSaveChanges = 142,
    alertLowScratchSpace = 152,
    alertRevert = 155,
    alertUnresolvedMedia = 159,
    alertClearComposedMovie = 160,
};

struct StringResource {
    int id;
    std::string_view text;
};

// Alert strings: "/" before each button name, "//" before the message; "&" marks the default
// button; ^0 to ^3 are parameter markers.
inline constexpr std::array<StringResource, 10> kAlertStrings{{
    {alertOk, "/OK//^0"},
    {alertOkCancel, "/OK/Cancel//^0"},
    {alertError, "/OK//^0(^1)"},
    {alertErrorWithDetail, "/OK//^0(^1)\n\n^2"},
    {alertErrorOccurred, "/OK//An Error Occured!\n\n^0"},
    {alertSaveChanges,
     "/YES/NO/CANCEL//Would you like to save the changes made to '^0' before closing?"},
    {alertLowScratchSpace,
     "/OK//Less than ^0 MB are available on the scratch \ndisk '^1'.  You should try to free "
     "some space\non this volume or switch to another scratch disk \nvia the 'Preferences' "
     "dialog."},
    {alertRevert,
     "/YES/NO//Are you sure you want to revert to the most recently saved version of\n'^0'?"},
    {alertUnresolvedMedia,
     "/OK/Cancel//Some nodes will be converted to generic \nnodes due to unresolved media "
     "references."},
    {alertClearComposedMovie,
     "/OK/&Cancel//Are you sure you want to clear the \ncomposed QTVR movie from this project?"},
}};

// The string resource with this id (an alert string or an error message), if there is one.
std::optional<std::string_view> loadString(int id);

} // namespace qm
