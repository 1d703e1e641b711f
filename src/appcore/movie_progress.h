#pragma once
// The movie progress procedure: how a long movie operation (flattening a movie into a file)
// reports to a progress, under a title and message that its caller sets beforehand.
#include <cstdint>
#include <string>
#include <string_view>

#include "quicktime/base/os_types.h"

namespace qm {

class Progress;

enum MovieProgressMessage : std::int16_t {
    movieProgressOpen = 0,
    movieProgressUpdatePercent = 1,
    movieProgressClose = 2,
};
inline constexpr std::int16_t movieProgressOpFlatten = 1;

struct MovieProgressTexts {
    std::string title;
    std::string message;
};

// The program-wide texts shown by the movie progress procedure.
MovieProgressTexts& movieProgressTexts();

// Sets the movie progress texts for as long as it lives and empties them afterwards, whatever
// the outcome of the operation in between.
class MovieProgressTextsScope {
public:
    MovieProgressTextsScope(std::string_view title, std::string_view message);
    ~MovieProgressTextsScope();
    MovieProgressTextsScope(const MovieProgressTextsScope&) = delete;
    MovieProgressTextsScope& operator=(const MovieProgressTextsScope&) = delete;
};

// Acts for the flatten operation only: open shows a progress with message and bar (maximum 100)
// and the global texts, update sets it to the fraction done (16.16, 0 to 1), close closes it.
// Returns -128 when the user cancelled, so that the operation stops; 0 otherwise.
OSErr movieProgressProc(Progress& progress, std::int16_t message, std::int16_t operation, Fixed fractionDone);

} // namespace qm
