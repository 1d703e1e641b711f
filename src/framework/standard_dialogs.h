#pragma once
// The system's file, folder and colour choosers behind one replaceable object, so that tests
// can answer them without a person at the screen.
#include <QString>
#include <memory>
#include <optional>

#include "quicktime/base/os_types.h"

class QWidget;

namespace qm {

class StandardDialogs {
public:
    virtual ~StandardDialogs() = default;

    // filters: "Name (*.ext)" entries separated by ";;"; selectedFilter in/out.
    virtual QString openFileName(QWidget* owner, const QString& caption, const QString& folder,
                                 const QString& filters, QString* selectedFilter) = 0;
    virtual QString saveFileName(QWidget* owner, const QString& caption, const QString& path,
                                 const QString& filters, QString* selectedFilter) = 0;
    virtual QString existingFolder(QWidget* owner, const QString& caption,
                                   const QString& start) = 0;
    // Components are 16-bit; the chooser works with 8-bit ones (divided by 257).
    virtual std::optional<RGBColor> colour(QWidget* owner, RGBColor start) = 0;

    static StandardDialogs& current();
    // Installs a replacement (tests); null restores the system's dialogs.
    static void install(std::unique_ptr<StandardDialogs> dialogs);
};

} // namespace qm
