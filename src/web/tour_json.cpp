#include "web/tour_json.h"

#include <cmath>
#include <cstdio>

namespace qm::web {

std::string JsonWriter::quote(std::string_view text)
{
    std::string s = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': s += "\\\""; break;
        case '\\': s += "\\\\"; break;
        case '\n': s += "\\n"; break;
        case '\r': s += "\\r"; break;
        case '\t': s += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                s += buf;
            } else if (c == '<') {
                s += "\\u003c"; // never closes a script element the text may land in
            } else {
                s += char(c);
            }
        }
    }
    return s + "\"";
}

void JsonWriter::prefix(std::string_view key)
{
    if (!m_first.empty()) {
        if (!m_first.back())
            m_out += ",";
        m_first.back() = false;
        m_out += "\n" + std::string(m_first.size() * 2, ' ');
    }
    if (!key.empty())
        m_out += quote(key) + ": ";
}

JsonWriter& JsonWriter::beginObject(std::string_view key)
{
    prefix(key);
    m_out += "{";
    m_first.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endObject()
{
    const bool empty = m_first.back();
    m_first.pop_back();
    if (!empty)
        m_out += "\n" + std::string(m_first.size() * 2, ' ');
    m_out += "}";
    if (m_first.empty())
        m_out += "\n";
    return *this;
}

JsonWriter& JsonWriter::beginArray(std::string_view key)
{
    prefix(key);
    m_out += "[";
    m_first.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::endArray()
{
    const bool empty = m_first.back();
    m_first.pop_back();
    if (!empty)
        m_out += "\n" + std::string(m_first.size() * 2, ' ');
    m_out += "]";
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view key, std::string_view text)
{
    prefix(key);
    m_out += quote(text);
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view key, double number)
{
    prefix(key);
    if (!std::isfinite(number))
        number = 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", number);
    std::string s = buf;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    if (s == "-0")
        s = "0";
    m_out += s;
    return *this;
}

JsonWriter& JsonWriter::value(std::string_view key, bool flag)
{
    prefix(key);
    m_out += flag ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::null(std::string_view key)
{
    prefix(key);
    m_out += "null";
    return *this;
}

} // namespace qm::web
