#pragma once
// Alert strings in the Macintosh manner: "/Name/Name//Message". The button names choose one of
// the standard button sets (the names themselves are not shown) and which of its buttons is the
// default; the message carries the parameter markers ^0 to ^3.
#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

enum class AlertButton { Ok, Cancel, Abort, Retry, Ignore, Yes, No };

enum class AlertButtonSet { Ok, OkCancel, RetryCancel, YesNo, AbortRetryIgnore, YesNoCancel };

// The buttons of a set, left to right.
std::span<const AlertButton> buttonsOf(AlertButtonSet set);

// Parameter texts for ^0 to ^3, each at most kMaxAlertParameterBytes long.
using AlertParameters = std::array<std::string, 4>;
inline constexpr std::size_t kMaxAlertParameterBytes = 255;

class AlertString {
public:
    // Empty when the string has no "//" (such an alert shows nothing).
    static std::optional<AlertString> parse(std::string_view source);

    const std::vector<std::string>& buttonNames() const { return m_names; }
    const std::string& message() const { return m_message; }

    AlertButtonSet buttonSet() const;
    // Position of the default button within buttonSet(): the "&"-marked name, else the first.
    int defaultIndex() const;
    AlertButton defaultButton() const { return buttonsOf(buttonSet())[std::size_t(defaultIndex())]; }
    // 1 for the default button, 2 for Cancel when Cancel is not the default, 3 for any other.
    int resultFor(AlertButton pressed) const;

private:
    std::vector<std::string> m_names; // without the "&" mark
    int m_markedIndex = -1;
    std::string m_message;
};

// Replaces the first occurrence of each marker ^0..^3 in text by its parameter. Markers are
// looked for in text only, never in inserted parameters, so a file name holding "^1" stays as
// it is.
std::string substituteAlertMarkers(std::string_view text, const AlertParameters& parameters);

} // namespace qm
