#include "info_tree.h"

#include <cmath>
#include <cstdio>

#include "command.h"

namespace qm::cli {

InfoValue::InfoValue(double v) : m_kind(Kind::Number)
{
    if (!std::isfinite(v)) {
        m_kind = Kind::Null;
        m_text = "null";
        return;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", v);
    m_text = buf;
}

InfoValue& InfoValue::add(const std::string& key, InfoValue value)
{
    m_members.emplace_back(key, std::move(value));
    return m_members.back().second;
}

InfoValue& InfoValue::push(InfoValue value)
{
    m_items.push_back(std::move(value));
    return m_items.back();
}

std::string InfoValue::toJson(int indent) const
{
    std::string pad(std::size_t(indent + 2), ' ');
    std::string close(std::size_t(indent), ' ');
    switch (m_kind) {
    case Kind::String: return "\"" + jsonEscape(m_text) + "\"";
    case Kind::Null: return "null";
    case Kind::Number:
    case Kind::Bool: return m_text;
    case Kind::Object: {
        if (m_members.empty())
            return "{}";
        std::string out = "{\n";
        for (std::size_t i = 0; i < m_members.size(); ++i) {
            out += pad + "\"" + jsonEscape(m_members[i].first) + "\": " + m_members[i].second.toJson(indent + 2);
            out += i + 1 < m_members.size() ? ",\n" : "\n";
        }
        return out + close + "}";
    }
    case Kind::Array: {
        if (m_items.empty())
            return "[]";
        std::string out = "[\n";
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            out += pad + m_items[i].toJson(indent + 2);
            out += i + 1 < m_items.size() ? ",\n" : "\n";
        }
        return out + close + "]";
    }
    }
    return "null";
}

void InfoValue::appendText(std::string& out, int indent) const
{
    std::string pad(std::size_t(indent), ' ');
    if (m_kind == Kind::Object) {
        for (const auto& [key, value] : m_members) {
            if (value.isScalar()) {
                out += pad + key + ": " + value.scalarText() + "\n";
            } else if (value.isSmallRecord()) {
                std::string line;
                for (const auto& [k, v] : value.m_members)
                    line += (line.empty() ? "" : ", ") + k + " " + v.scalarText();
                out += pad + key + ": " + line + "\n";
            } else if ((value.m_kind == Kind::Array && value.m_items.empty()) ||
                       (value.m_kind == Kind::Object && value.m_members.empty())) {
                out += pad + key + ": none\n";
            } else {
                out += pad + key + ":\n";
                value.appendText(out, indent + 2);
            }
        }
    } else if (m_kind == Kind::Array) {
        for (const InfoValue& item : m_items) {
            if (item.isScalar()) {
                out += pad + "- " + item.scalarText() + "\n";
            } else {
                // The item's first line carries the dash; the rest line up under it.
                std::string body;
                item.appendText(body, indent + 2);
                if (body.size() >= std::size_t(indent + 2))
                    body.replace(std::size_t(indent), 2, "- ");
                out += body;
            }
        }
    } else {
        out += pad + m_text + "\n";
    }
}

bool InfoValue::isSmallRecord() const
{
    if (m_kind != Kind::Object || m_members.empty() || m_members.size() > 4)
        return false;
    for (const auto& member : m_members)
        if (!member.second.isScalar())
            return false;
    return true;
}

std::string InfoValue::toText() const
{
    std::string out;
    appendText(out, 0);
    return out;
}

} // namespace qm::cli
