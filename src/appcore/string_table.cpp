#include "appcore/string_table.h"

#include "appcore/error_table.h"

namespace qm {

std::optional<std::string_view> loadString(int id)
{
    for (const auto& s : kAlertStrings)
        if (s.id == id)
            return s.text;
    for (const auto& e : kErrorTable)
        if (e.stringId == id)
            return e.message;
    return std::nullopt;
}

} // namespace qm
