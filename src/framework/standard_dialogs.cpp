#include "framework/standard_dialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>

#include "appcore/app_paths.h"

namespace qm {

namespace {

class SystemDialogs final : public StandardDialogs {
public:
    QString openFileName(QWidget* owner, const QString& caption, const QString& folder,
                         const QString& filters, QString* selectedFilter) override
    {
        QFileDialog dialog(owner, caption, folder, filters);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        return run(dialog, folder, QString(), selectedFilter);
    }

    QString saveFileName(QWidget* owner, const QString& caption, const QString& path,
                         const QString& filters, QString* selectedFilter) override
    {
        const QFileInfo start(path);
        QFileDialog dialog(owner, caption, start.absolutePath(), filters);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        return run(dialog, start.absolutePath(), start.fileName(), selectedFilter);
    }

    QString existingFolder(QWidget* owner, const QString& caption, const QString& start) override
    {
        return QFileDialog::getExistingDirectory(owner, caption, start,
                                                 QFileDialog::ShowDirsOnly);
    }

    static QString run(QFileDialog& dialog, const QString& folder, const QString& name,
                       QString* selectedFilter);

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

QString SystemDialogs::run(QFileDialog& dialog, const QString& folder, const QString& name,
                           QString* selectedFilter)
{
    // Opens in the folder with only a file's name in the name field; choosing the templates'
    // type moves to the templates folder, and back again.
    dialog.setDirectory(folder);
    if (!name.isEmpty())
        dialog.selectFile(name);
    const QString templates = QString::fromStdString(templatesDirectory().string());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, folder, templates](const QString& filter) {
                         const bool isTemplate = filter.contains(QStringLiteral("*.qmt"));
                         if (isTemplate && QFileInfo(templates).isDir())
                             dialog.setDirectory(templates);
                         else if (!isTemplate)
                             dialog.setDirectory(folder);
                     });
    if (selectedFilter && !selectedFilter->isEmpty())
        dialog.selectNameFilter(*selectedFilter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    if (selectedFilter)
        *selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().first();
}

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
