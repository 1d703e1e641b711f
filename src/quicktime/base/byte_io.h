#pragma once
// Bounds-checked big-endian reading and writing of byte buffers.
//
// ByteReader never reads outside its span: a read past the end yields zeros and sets a sticky
// failure flag, so a parser can read a whole record and test ok() once.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "quicktime/base/os_types.h"

namespace qm {

using Bytes = std::vector<std::uint8_t>;

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> data) : m_data(data) {}
    ByteReader(const std::uint8_t* p, std::size_t n) : m_data(p, n) {}

    bool ok() const { return m_ok; }
    std::size_t pos() const { return m_pos; }
    std::size_t size() const { return m_data.size(); }
    std::size_t remaining() const { return m_pos < m_data.size() ? m_data.size() - m_pos : 0; }
    bool atEnd() const { return remaining() == 0; }
    std::span<const std::uint8_t> data() const { return m_data; }

    // Moving beyond the end fails (moving exactly to the end is allowed).
    bool seek(std::size_t pos);
    bool skip(std::size_t n) { return n <= remaining() ? seek(m_pos + n) : fail(); }

    std::uint8_t u8();
    std::int8_t i8() { return std::int8_t(u8()); }
    std::uint16_t u16();
    std::int16_t i16() { return std::int16_t(u16()); }
    std::uint32_t u32();
    std::int32_t i32() { return std::int32_t(u32()); }
    std::uint64_t u64();
    OSType type() { return u32(); }
    Fixed fixed() { return i32(); }
    float f32();
    Rect rect();
    Point point();
    RGBColor color();
    // n bytes, or an empty span (and failure) when fewer remain.
    std::span<const std::uint8_t> bytes(std::size_t n);
    // A Pascal string stored in a field of fieldSize bytes (length byte included); the length
    // byte is trusted only up to the field.
    std::string pascalString(std::size_t fieldSize);

    // A reader over the next n bytes (advancing this one), failing when fewer remain.
    ByteReader sub(std::size_t n);

private:
    bool fail()
    {
        m_ok = false;
        m_pos = m_data.size();
        return false;
    }
    bool need(std::size_t n)
    {
        if (n <= remaining())
            return true;
        fail();
        return false;
    }

    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

class ByteWriter {
public:
    ByteWriter() = default;
    explicit ByteWriter(std::size_t reserve) { m_data.reserve(reserve); }

    const Bytes& data() const { return m_data; }
    Bytes take() { return std::move(m_data); }
    std::size_t size() const { return m_data.size(); }

    void u8(std::uint8_t v) { m_data.push_back(v); }
    void i8(std::int8_t v) { u8(std::uint8_t(v)); }
    void u16(std::uint16_t v);
    void i16(std::int16_t v) { u16(std::uint16_t(v)); }
    void u32(std::uint32_t v);
    void i32(std::int32_t v) { u32(std::uint32_t(v)); }
    void u64(std::uint64_t v);
    void type(OSType t) { u32(t); }
    void fixed(Fixed f) { i32(f); }
    void f32(float f);
    void rect(const Rect& r);
    void point(const Point& p);
    void color(const RGBColor& c);
    void bytes(std::span<const std::uint8_t> b) { m_data.insert(m_data.end(), b.begin(), b.end()); }
    void bytes(const void* p, std::size_t n);
    void zeros(std::size_t n) { m_data.insert(m_data.end(), n, 0); }
    // A Pascal string in a field of fieldSize bytes, cut to fit and zero padded.
    void pascalString(const std::string& s, std::size_t fieldSize);

    // Overwrite already written bytes (for sizes known only afterwards).
    void putU16At(std::size_t at, std::uint16_t v);
    void putU32At(std::size_t at, std::uint32_t v);

private:
    Bytes m_data;
};

// Direct big-endian access for code that works on raw buffers it has already bounds-checked.
inline std::uint16_t loadBE16(const std::uint8_t* p) { return std::uint16_t((p[0] << 8) | p[1]); }
inline std::uint32_t loadBE32(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}
inline void storeBE16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = std::uint8_t(v >> 8);
    p[1] = std::uint8_t(v);
}
inline void storeBE32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

} // namespace qm
