#pragma once
// Argument helpers of the hot spot commands.
#include <optional>
#include <string>
#include <vector>

#include "compose/hot_spot_edits.h"

namespace qm::cli {

// Removes "NAME VALUE" from args; false when NAME is the last argument (no value).
bool takeOption(std::vector<std::string>& args, const std::string& name, std::string& value);
bool takeOption(std::vector<std::string>& args, const std::string& name, std::optional<std::string>& value);
bool parseInt(const std::string& text, std::int32_t& out);
// "ROW,COL".
bool parseView(const std::string& text, ViewIndex& out);
// "A,B" or "A,B,C,D" as integers of the 16-bit plane.
bool parseNumbers(const std::string& text, std::vector<int>& out);

} // namespace qm::cli
