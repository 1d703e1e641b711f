// Parses arbitrary bytes as a QT atom container; whatever parses must serialize to bytes that
// parse again to the same serialization, and survive edits.
#include <cstdlib>

#include "quicktime/atoms/atom_container.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qm::AtomContainer c;
    if (qm::AtomContainer::parse({data, size}, c) != 0)
        return 0;
    qm::Bytes once = c.serialize();
    qm::AtomContainer again;
    if (qm::AtomContainer::parse(once, again) != 0 || again.serialize() != once)
        std::abort();
    qm::AtomRef first = c.childAt(qm::AtomContainer::kRoot, 1);
    if (first) {
        c.copyChildren(c, qm::AtomContainer::kRoot, first);
        c.insertChild(qm::AtomContainer::kRoot, c.type(first), 0, 1);
        c.removeAtom(first);
        qm::AtomContainer third;
        if (qm::AtomContainer::parse(c.serialize(), third) != 0)
            std::abort();
    }
    return 0;
}
