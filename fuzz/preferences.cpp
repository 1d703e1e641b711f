// Loading the preferences from arbitrary bytes: the atom container, the record copied out of
// it and the defaults applied to whatever it holds.
#include <cstddef>
#include <cstdint>
#include <span>

#include "appcore/preferences_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qm::PreferencesStore store;
    store.loadFromBytes(std::span(data, size), "/tmp");
    const qm::PreferencesRecord& r = store.record();
    (void)r.scratchFolder();
    (void)r.annotationName();
    (void)r.annotationDescription();
    return 0;
}
