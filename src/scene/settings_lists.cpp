#include "scene/settings_lists.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace qm::settings {

const QStringList& orientationEntries()
{
    static const QStringList entries = {
        QStringLiteral("Initial View"), QStringLiteral("Custom..."), QStringLiteral("0°"),
        QStringLiteral("45°"),  QStringLiteral("90°"),  QStringLiteral("135°"),
        QStringLiteral("180°"), QStringLiteral("225°"), QStringLiteral("270°"),
        QStringLiteral("315°")};
    return entries;
}

const QStringList& sizeEntries()
{
    static const QStringList entries = [] {
        static const int sizes[][2] = {{120, 160},   {128, 192},   {150, 300},  {240, 320},
                                       {240, 360},   {256, 384},   {300, 400},  {480, 640},
                                       {480, 720},   {504, 756},   {512, 768},  {600, 800},
                                       {1024, 1536}, {1200, 1600}, {2048, 3072}};
        QStringList list{QStringLiteral("Custom...")};
        for (const auto& s : sizes)
            list << sizeText(s[0], s[1]);
        for (const auto& s : sizes)
            list << sizeText(s[1], s[0]);
        return list;
    }();
    return entries;
}

const QStringList& scaleEntries()
{
    static const QStringList entries = {QStringLiteral("1:1"), QStringLiteral("1:10"),
                                        QStringLiteral("1:100"), QStringLiteral("1:1000")};
    return entries;
}

const QStringList& unitEntries()
{
    static const QStringList entries = {
        QStringLiteral("Inches"),      QStringLiteral("Feet"),        QStringLiteral("Yards"),
        QStringLiteral("Miles"),       QStringLiteral("Millimeters"), QStringLiteral("Centimeters"),
        QStringLiteral("Meters"),      QStringLiteral("Kilometers")};
    return entries;
}

QString orientationText(float degrees)
{
    QString text = QString::asprintf("%1.1f", double(degrees));
    if (text.endsWith(QStringLiteral(".0")))
        text.chop(2);
    if (text == QStringLiteral("-0"))
        text = QStringLiteral("0");
    return text + QStringLiteral("°");
}

QString sizeText(int width, int height) { return QString::asprintf("%d x %d", width, height); }

bool parseSizeText(const QString& text, int* width, int* height)
{
    const int x = text.indexOf(QLatin1Char('x'));
    if (x < 0)
        return false;
    *width = int(leadingInteger(text.left(std::max(0, x - 1))));
    *height = int(leadingInteger(text.mid(x + 2)));
    return true;
}

namespace {

// The text's Latin-1 bytes from its first non-blank character, a leading '+' dropped (the
// readers below take a '-' only).
QByteArray numberStart(const QString& text)
{
    QByteArray bytes = text.toLatin1();
    qsizetype i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t'))
        ++i;
    if (i < bytes.size() && bytes[i] == '+' && (i + 1 >= bytes.size() || bytes[i + 1] != '-'))
        ++i;
    return bytes.mid(i);
}

} // namespace

double leadingNumber(const QString& text)
{
    // std::from_chars reads '.' as the decimal point whatever the process's C locale is (the
    // application object sets it from the environment, and strtod would then stop at the
    // point under a decimal-comma locale).
    const QByteArray bytes = numberStart(text);
    double value = 0.0;
    const auto [end, ec] = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(),
                                           value, std::chars_format::fixed);
    (void)end;
    return ec == std::errc() ? value : 0.0;
}

long leadingInteger(const QString& text)
{
    const QByteArray bytes = numberStart(text);
    long value = 0;
    const auto [end, ec] =
        std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value, 10);
    (void)end;
    return ec == std::errc() ? value : 0;
}

std::int16_t unitsCode(int entry)
{
    if (entry >= 5 && entry <= 8)
        return std::int16_t(entry + 6);
    return std::int16_t(entry >= 1 && entry <= 4 ? entry : 2);
}

int unitEntry(std::int16_t code)
{
    if (code > 10)
        return code - 6;
    return code;
}

std::int16_t scaleFactor(int entry)
{
    switch (entry) {
    case 1: return 1;
    case 2: return 10;
    case 3: return 100;
    case 4: return 1000;
    default: return 10;
    }
}

int scaleEntry(std::int16_t factor)
{
    switch (factor) {
    case 1: return 1;
    case 10: return 2;
    case 100: return 3;
    case 1000: return 4;
    default: return 0;
    }
}

} // namespace qm::settings
