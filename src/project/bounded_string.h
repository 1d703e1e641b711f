#pragma once
// UTF-8 text whose stored form (see encodeStoredText) fits a number of bytes, cut on every
// assignment, so the limits of the project's fixed text fields (names 63, comments 255) hold
// wherever text enters.
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

#include "quicktime/base/legacy_text.h"

namespace qm {

template <std::size_t N>
class BoundedString {
public:
    static constexpr std::size_t kMaxLength = N;

    BoundedString() = default;
    BoundedString(std::string_view s) : m_text(fitStoredText(s, N)) {}
    BoundedString(const char* s) : BoundedString(std::string_view(s)) {}
    BoundedString(const std::string& s) : BoundedString(std::string_view(s)) {}

    BoundedString& operator=(std::string_view s)
    {
        m_text = fitStoredText(s, N);
        return *this;
    }
    BoundedString& operator=(const char* s) { return *this = std::string_view(s); }
    BoundedString& operator=(const std::string& s) { return *this = std::string_view(s); }

    const std::string& str() const { return m_text; }
    operator const std::string&() const { return m_text; }
    const char* c_str() const { return m_text.c_str(); }
    bool empty() const { return m_text.empty(); }
    std::size_t size() const { return m_text.size(); }

    friend bool operator==(const BoundedString&, const BoundedString&) = default;
    friend bool operator==(const BoundedString& a, std::string_view b) { return a.m_text == b; }
    friend bool operator==(const BoundedString& a, const std::string& b) { return a.m_text == b; }
    friend bool operator==(const BoundedString& a, const char* b) { return a.m_text == b; }
    friend std::ostream& operator<<(std::ostream& os, const BoundedString& s) { return os << s.m_text; }

private:
    std::string m_text;
};

} // namespace qm
