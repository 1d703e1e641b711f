#pragma once
// A small tree of named values that a command fills once and prints either as indented text
// or as JSON.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qm::cli {

class InfoValue {
public:
    static InfoValue object() { return InfoValue(Kind::Object); }
    static InfoValue array() { return InfoValue(Kind::Array); }
    static InfoValue null() { return InfoValue(Kind::Null); }
    InfoValue(const std::string& s) : m_kind(Kind::String), m_text(s) {}
    InfoValue(const char* s) : InfoValue(std::string(s)) {}
    InfoValue(bool b) : m_kind(Kind::Bool), m_text(b ? "true" : "false") {}
    InfoValue(int v) : InfoValue(std::int64_t(v)) {}
    InfoValue(std::int64_t v) : m_kind(Kind::Number), m_text(std::to_string(v)) {}
    InfoValue(std::uint32_t v) : InfoValue(std::int64_t(v)) {}
    InfoValue(double v); // non-finite values become null

    // Object members and array items, in order.
    InfoValue& add(const std::string& key, InfoValue value);
    InfoValue& push(InfoValue value);

    std::string toJson(int indent = 0) const;
    std::string toText() const;

private:
    enum class Kind { Object, Array, String, Number, Bool, Null };
    explicit InfoValue(Kind kind) : m_kind(kind) {}
    bool isScalar() const { return m_kind != Kind::Object && m_kind != Kind::Array; }
    // Objects of up to four scalars print on one line as text ("top 0, left 0, ...").
    bool isSmallRecord() const;
    std::string scalarText() const { return m_kind == Kind::Null ? "-" : m_text; }
    void appendText(std::string& out, int indent) const;

    Kind m_kind;
    std::string m_text;
    std::vector<std::pair<std::string, InfoValue>> m_members;
    std::vector<InfoValue> m_items;
};

} // namespace qm::cli
