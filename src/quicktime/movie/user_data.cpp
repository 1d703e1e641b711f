#include "quicktime/movie/user_data.h"

#include "quicktime/base/errors.h"
#include "quicktime/movie/movie_atom.h"

namespace qm {

void UserData::addItemsFrom(std::span<const std::uint8_t> payload)
{
    AtomIterator it(payload);
    AtomSpan a;
    while (it.next(a))
        m_items.push_back({a.type, Bytes(a.payload.begin(), a.payload.end())});
}

void UserData::write(ByteWriter& w) const
{
    if (m_items.empty())
        return;
    auto at = beginAtom(w, fourCC("udta"));
    for (const auto& item : m_items)
        writeLeafAtom(w, item.type, item.data);
    endAtom(w, at);
}

int UserData::count(OSType type) const
{
    int n = 0;
    for (const auto& item : m_items)
        n += item.type == type;
    return n;
}

OSType UserData::nextType(OSType after) const
{
    std::vector<OSType> seen;
    for (const auto& item : m_items) {
        bool known = false;
        for (OSType t : seen)
            known = known || t == item.type;
        if (!known)
            seen.push_back(item.type);
    }
    if (after == 0)
        return seen.empty() ? 0 : seen.front();
    for (std::size_t i = 0; i + 1 < seen.size(); ++i)
        if (seen[i] == after)
            return seen[i + 1];
    return 0;
}

const UserData::Item* UserData::find(OSType type, int index) const
{
    if (index <= 0)
        index = 1;
    for (const auto& item : m_items)
        if (item.type == type && --index == 0)
            return &item;
    return nullptr;
}

UserData::Item* UserData::find(OSType type, int index)
{
    return const_cast<Item*>(static_cast<const UserData*>(this)->find(type, index));
}

OSErr UserData::getItem(OSType type, int index, Bytes& out) const
{
    const Item* item = find(type, index);
    if (!item)
        return err::userDataItemNotFound;
    out = item->data;
    return err::noErr;
}

OSErr UserData::setItem(OSType type, int index, std::span<const std::uint8_t> data)
{
    if (Item* item = find(type, index))
        item->data.assign(data.begin(), data.end());
    else
        addItem(type, data);
    return err::noErr;
}

void UserData::addItem(OSType type, std::span<const std::uint8_t> data)
{
    m_items.push_back({type, Bytes(data.begin(), data.end())});
}

OSErr UserData::removeItem(OSType type, int index)
{
    const Item* item = find(type, index);
    if (!item)
        return err::userDataItemNotFound;
    m_items.erase(m_items.begin() + (item - m_items.data()));
    return err::noErr;
}

std::vector<UserDataText> parseUserDataTexts(std::span<const std::uint8_t> item)
{
    std::vector<UserDataText> texts;
    ByteReader r(item);
    while (r.remaining() >= 4) {
        std::size_t length = r.u16();
        std::uint16_t language = r.u16();
        if (length > r.remaining()) {
            // The inclusive convention counts the entry's own 4 header bytes.
            if (length < 4 || length - 4 > r.remaining())
                break;
            length -= 4;
        }
        auto text = r.bytes(length);
        texts.push_back({language, std::string(text.begin(), text.end())});
    }
    return texts;
}

Bytes buildUserDataTexts(const std::vector<UserDataText>& texts)
{
    ByteWriter w;
    for (const auto& t : texts) {
        std::size_t n = std::min<std::size_t>(t.text.size(), 0xFFFF);
        w.u16(std::uint16_t(n));
        w.u16(t.language);
        w.bytes(t.text.data(), n);
    }
    return w.take();
}

OSErr UserData::getText(OSType type, int index, std::uint16_t language, std::string& out) const
{
    const Item* item = find(type, index);
    if (!item)
        return err::userDataItemNotFound;
    for (auto& t : parseUserDataTexts(item->data)) {
        if (t.language == language) {
            out = std::move(t.text);
            return err::noErr;
        }
    }
    return err::userDataItemNotFound;
}

OSErr UserData::addText(OSType type, int index, std::uint16_t language, const std::string& text)
{
    if (text.size() > 0xFFFF)
        return err::paramErr;
    Item* item = find(type, index);
    if (!item) {
        addItem(type, buildUserDataTexts({{language, text}}));
        return err::noErr;
    }
    auto texts = parseUserDataTexts(item->data);
    bool replaced = false;
    for (auto& t : texts) {
        if (t.language == language && !replaced) {
            t.text = text;
            replaced = true;
        }
    }
    if (!replaced)
        texts.push_back({language, text});
    item->data = buildUserDataTexts(texts);
    return err::noErr;
}

OSErr UserData::removeText(OSType type, int index, std::uint16_t language)
{
    Item* item = find(type, index);
    if (!item)
        return err::userDataItemNotFound;
    auto texts = parseUserDataTexts(item->data);
    std::size_t before = texts.size();
    std::erase_if(texts, [&](const UserDataText& t) { return t.language == language; });
    if (texts.size() == before)
        return err::userDataItemNotFound;
    if (texts.empty())
        return removeItem(type, index);
    item->data = buildUserDataTexts(texts);
    return err::noErr;
}

} // namespace qm
