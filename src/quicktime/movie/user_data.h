#pragma once
// The user data list of a movie or track ('udta'): items addressed by type and 1-based index
// among the items of that type, and international text items (repeated {UInt16 text length,
// UInt16 language code, text}) such as '©nam', '©cpy' and '©inf'.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "quicktime/base/byte_io.h"
#include "quicktime/base/os_types.h"

namespace qm {

class UserData {
public:
    struct Item {
        OSType type = 0;
        Bytes data;
        friend bool operator==(const Item&, const Item&) = default;
    };

    // Adds the items of a 'udta' atom's payload. Malformed trailing bytes end the list (and are
    // dropped); they never fail the movie.
    void addItemsFrom(std::span<const std::uint8_t> payload);
    // Writes a 'udta' atom holding every item, or nothing when there are none.
    void write(ByteWriter& w) const;

    const std::vector<Item>& items() const { return m_items; }
    bool empty() const { return m_items.empty(); }
    int count(OSType type) const;
    // Types in order of first appearance: the type after `after` (0 for the first), 0 at the end.
    OSType nextType(OSType after) const;

    // Index 0 stands for 1 in every call, as QuickTime's user data calls treat it.
    // Missing item: userDataItemNotFound.
    OSErr getItem(OSType type, int index, Bytes& out) const;
    // Replaces the item with that index, or adds a new one when there is no such item.
    OSErr setItem(OSType type, int index, std::span<const std::uint8_t> data);
    void addItem(OSType type, std::span<const std::uint8_t> data);
    OSErr removeItem(OSType type, int index);

    // International text of the given language in the item with that index. The text is kept as
    // the bytes given (the composer stores a trailing zero byte with its annotations).
    OSErr getText(OSType type, int index, std::uint16_t language, std::string& out) const;
    // Adds (or replaces) the text of that language, creating the item when there is none.
    OSErr addText(OSType type, int index, std::uint16_t language, const std::string& text);
    // Removes the text of that language; an item left without texts is removed.
    OSErr removeText(OSType type, int index, std::uint16_t language);

    friend bool operator==(const UserData&, const UserData&) = default;

private:
    Item* find(OSType type, int index);
    const Item* find(OSType type, int index) const;

    std::vector<Item> m_items;
};

// One entry of an international text item.
struct UserDataText {
    std::uint16_t language = 0;
    std::string text;
};
// Tolerates both length conventions of real files: the text length alone, and the length
// counting the 4-byte entry header too.
std::vector<UserDataText> parseUserDataTexts(std::span<const std::uint8_t> item);
Bytes buildUserDataTexts(const std::vector<UserDataText>& texts);

} // namespace qm
