#include "framework/standard_dialogs.h"

#include <QColorDialog>
#include <QFileDialog>

namespace qm {

namespace {

class SystemDialogs final : public StandardDialogs {
public:
    QString openFileName(QWidget* owner, const QString& caption, const QString& folder,
                         const QString& filters, QString* selectedFilter) override
    {
        return QFileDialog::getOpenFileName(owner, caption, folder, filters, selectedFilter);
    }

    QString saveFileName(QWidget* owner, const QString& caption, const QString& path,
                         const QString& filters, QString* selectedFilter) override
    {
        return QFileDialog::getSaveFileName(owner, caption, path, filters, selectedFilter);
    }

    QString existingFolder(QWidget* owner, const QString& caption, const QString& start) override
    {
        return QFileDialog::getExistingDirectory(owner, caption, start,
                                                 QFileDialog::ShowDirsOnly);
    }

    std::optional<RGBColor> colour(QWidget* owner, RGBColor start) override
    {
        // Sixteen custom colours that start white and persist for the run.
        static bool customColoursSet = false;
        if (!customColoursSet) {
            for (int i = 0; i < QColorDialog::customCount(); ++i)
                QColorDialog::setCustomColor(i, Qt::white);
            customColoursSet = true;
        }
        QColor chosen = QColorDialog::getColor(
            QColor(start.red / 257, start.green / 257, start.blue / 257), owner);
        if (!chosen.isValid())
            return std::nullopt;
        return RGBColor{std::uint16_t(chosen.red() * 0x101), std::uint16_t(chosen.green() * 0x101),
                        std::uint16_t(chosen.blue() * 0x101)};
    }
};

std::unique_ptr<StandardDialogs>& slot()
{
    static std::unique_ptr<StandardDialogs> dialogs;
    return dialogs;
}

} // namespace

StandardDialogs& StandardDialogs::current()
{
    if (!slot())
        slot() = std::make_unique<SystemDialogs>();
    return *slot();
}

void StandardDialogs::install(std::unique_ptr<StandardDialogs> dialogs) { slot() = std::move(dialogs); }

} // namespace qm
