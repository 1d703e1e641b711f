#include "quicktime/base/byte_io.h"

#include <bit>

namespace qm {

bool ByteReader::seek(std::size_t pos)
{
    if (pos > m_data.size())
        return fail();
    m_pos = pos;
    return true;
}

std::uint8_t ByteReader::u8()
{
    if (!need(1))
        return 0;
    return m_data[m_pos++];
}

std::uint16_t ByteReader::u16()
{
    if (!need(2))
        return 0;
    auto v = loadBE16(m_data.data() + m_pos);
    m_pos += 2;
    return v;
}

std::uint32_t ByteReader::u32()
{
    if (!need(4))
        return 0;
    auto v = loadBE32(m_data.data() + m_pos);
    m_pos += 4;
    return v;
}

std::uint64_t ByteReader::u64()
{
    if (!need(8))
        return 0;
    std::uint64_t hi = u32();
    return (hi << 32) | u32();
}

float ByteReader::f32() { return std::bit_cast<float>(u32()); }

Rect ByteReader::rect()
{
    Rect r;
    r.top = i16();
    r.left = i16();
    r.bottom = i16();
    r.right = i16();
    return r;
}

Point ByteReader::point()
{
    Point p;
    p.v = i16();
    p.h = i16();
    return p;
}

RGBColor ByteReader::color()
{
    RGBColor c;
    c.red = u16();
    c.green = u16();
    c.blue = u16();
    return c;
}

std::span<const std::uint8_t> ByteReader::bytes(std::size_t n)
{
    if (!need(n))
        return {};
    auto s = m_data.subspan(m_pos, n);
    m_pos += n;
    return s;
}

std::string ByteReader::pascalString(std::size_t fieldSize)
{
    if (fieldSize == 0)
        return {};
    auto field = bytes(fieldSize);
    if (field.empty())
        return {};
    std::size_t len = field[0];
    if (len > fieldSize - 1)
        len = fieldSize - 1;
    return std::string(reinterpret_cast<const char*>(field.data() + 1), len);
}

ByteReader ByteReader::sub(std::size_t n)
{
    auto s = bytes(n);
    ByteReader r(s);
    if (!m_ok)
        r.m_ok = false;
    return r;
}

void ByteWriter::u16(std::uint16_t v)
{
    m_data.push_back(std::uint8_t(v >> 8));
    m_data.push_back(std::uint8_t(v));
}

void ByteWriter::u32(std::uint32_t v)
{
    u16(std::uint16_t(v >> 16));
    u16(std::uint16_t(v));
}

void ByteWriter::u64(std::uint64_t v)
{
    u32(std::uint32_t(v >> 32));
    u32(std::uint32_t(v));
}

void ByteWriter::f32(float f) { u32(std::bit_cast<std::uint32_t>(f)); }

void ByteWriter::rect(const Rect& r)
{
    i16(r.top);
    i16(r.left);
    i16(r.bottom);
    i16(r.right);
}

void ByteWriter::point(const Point& p)
{
    i16(p.v);
    i16(p.h);
}

void ByteWriter::color(const RGBColor& c)
{
    u16(c.red);
    u16(c.green);
    u16(c.blue);
}

void ByteWriter::bytes(const void* p, std::size_t n)
{
    auto b = static_cast<const std::uint8_t*>(p);
    m_data.insert(m_data.end(), b, b + n);
}

void ByteWriter::pascalString(const std::string& s, std::size_t fieldSize)
{
    if (fieldSize == 0)
        return;
    std::size_t len = std::min(s.size(), std::min<std::size_t>(fieldSize - 1, 255));
    u8(std::uint8_t(len));
    bytes(s.data(), len);
    zeros(fieldSize - 1 - len);
}

void ByteWriter::putU16At(std::size_t at, std::uint16_t v) { storeBE16(m_data.data() + at, v); }
void ByteWriter::putU32At(std::size_t at, std::uint32_t v) { storeBE32(m_data.data() + at, v); }

} // namespace qm
