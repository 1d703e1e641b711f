#include "appcore/movie_progress.h"

#include <algorithm>

#include "appcore/progress.h"
#include "quicktime/base/errors.h"

namespace qm {

MovieProgressTexts& movieProgressTexts()
{
    static MovieProgressTexts texts;
    return texts;
}

MovieProgressTextsScope::MovieProgressTextsScope(std::string_view title, std::string_view message)
{
    movieProgressTexts() = {std::string(title), std::string(message)};
}

MovieProgressTextsScope::~MovieProgressTextsScope() { movieProgressTexts() = {}; }

OSErr movieProgressProc(Progress& progress, std::int16_t message, std::int16_t operation, Fixed fractionDone)
{
    if (operation != movieProgressOpFlatten)
        return err::noErr;
    switch (message) {
    case movieProgressOpen: {
        ProgressSettings s;
        s.options = progressShowsMessage | progressShowsBar;
        s.title = movieProgressTexts().title;
        s.message = movieProgressTexts().message;
        s.maximum = 100;
        s.count = -1;
        progress.open(s);
        return err::noErr;
    }
    case movieProgressUpdatePercent: {
        // Out-of-range fractions are held to 0..1; a negative value would mean "advance".
        const std::int32_t value = std::int32_t(std::clamp<std::int64_t>(fractionDone, 0, 0x10000) * 100 / 0x10000);
        return progress.update(std::nullopt, value) ? err::noErr : err::userCanceledErr;
    }
    case movieProgressClose:
        progress.close();
        return err::noErr;
    default:
        return err::noErr;
    }
}

} // namespace qm
