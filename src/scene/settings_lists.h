#pragma once
// The lists of the scene settings page and the texts their entries are read from.
#include <QString>
#include <QStringList>
#include <cstdint>

namespace qm::settings {

const QStringList& orientationEntries(); // "Initial View", "Custom...", "0°" ... "315°"
const QStringList& sizeEntries();        // "Custom...", then width x height texts
const QStringList& scaleEntries();       // "1:1" ... "1:1000"
const QStringList& unitEntries();        // "Inches" ... "Kilometers"

constexpr int kOrientationInitialView = 1;
constexpr int kOrientationCustom = 2;
constexpr int kSizeCustom = 1;
// Where a value that is not in a list is inserted (1-based entry numbers).
constexpr int kOrientationInsertEntry = 3;
constexpr int kSizeInsertEntry = 2;

// -1.0 stands for the initial view of the node.
constexpr float kInitialView = -1.0f;

// One decimal, a trailing ".0" dropped, then the degree mark: 30.5 -> "30.5°", 45 -> "45°".
QString orientationText(float degrees);
// "%d x %d".
QString sizeText(int width, int height);
// The width is the number before the "x", the height the number from two characters after it.
// False when the text has no "x" (the "Custom..." entry).
bool parseSizeText(const QString& text, int* width, int* height);
// The decimal number at the start of the text with '.' as the decimal point whatever the
// locale; 0 when there is none.
double leadingNumber(const QString& text);
// The decimal integer at the start of the text; 0 when there is none.
long leadingInteger(const QString& text);

// Unit list entries 1-4 are codes 1-4 (imperial), entries 5-8 codes 11-14 (metric).
std::int16_t unitsCode(int entry);
int unitEntry(std::int16_t code);
inline bool isMetric(std::int16_t code) { return code >= 10; }

// Scale entries 1-4 are the factors 1, 10, 100, 1000.
std::int16_t scaleFactor(int entry);
int scaleEntry(std::int16_t factor); // 0 for a factor not in the list

} // namespace qm::settings
