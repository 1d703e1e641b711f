#include "app/prefs_scratch_disk_panel.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "appcore/preferences_record.h"
#include "appcore/scratch_files.h"
#include "framework/dialog_items.h"
#include "framework/standard_dialogs.h"

namespace qm {

namespace {

QString scratchFolderText(const PreferencesRecord& record)
{
    const std::filesystem::path folder =
        effectiveScratchFolder(std::filesystem::path(record.scratchFolder()));
    return QDir::toNativeSeparators(QString::fromStdString(folder.string()));
}

} // namespace

PrefsScratchDiskPanel::PrefsScratchDiskPanel(PreferencesRecord& working, QWidget* parent)
    : QWidget(parent), m_working(working)
{
    setObjectName(QStringLiteral("dialog5806"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* folderGroup = new QGroupBox(tr("Scratch Disk"), this);
    auto* grid = new QGridLayout(folderGroup);
    grid->addWidget(new QLabel(tr("Path:"), folderGroup), 0, 0);
    m_path = new QLineEdit(scratchFolderText(working), folderGroup);
    items::setItemId(m_path, 1015);
    m_path->setReadOnly(true);
    grid->addWidget(m_path, 0, 1);
    auto* browse = new QPushButton(tr("Browse"), folderGroup);
    items::setItemId(browse, 1016);
    grid->addWidget(browse, 1, 1, Qt::AlignRight);
    layout->addWidget(folderGroup);

    auto* warningGroup = new QGroupBox(tr("Low Space Warning"), this);
    auto* row = new QHBoxLayout(warningGroup);
    m_warning = new QCheckBox(tr("Issue warning at:"), warningGroup);
    items::setItemId(m_warning, 1012);
    m_warning->setChecked(working.lowSpaceWarning());
    m_threshold = new QSpinBox(warningGroup);
    m_threshold->setLocale(QLocale::c()); // numbers follow no locale
    items::setItemId(m_threshold, 1013);
    m_threshold->setRange(0, PreferencesRecord::kMaxWarningThresholdMB);
    m_threshold->setValue(working.warningThresholdMB());
    m_threshold->setEnabled(working.lowSpaceWarning());
    if (auto* edit = m_threshold->findChild<QLineEdit*>()) {
        items::setItemId(edit, 1014);
        edit->setMaxLength(3);
    }
    row->addWidget(m_warning);
    row->addWidget(m_threshold);
    row->addWidget(new QLabel(tr("MB or less."), warningGroup));
    row->addStretch(1);
    layout->addWidget(warningGroup);
    layout->addStretch(1);

    connect(browse, &QPushButton::clicked, this, &PrefsScratchDiskPanel::browse);
    connect(m_warning, &QCheckBox::toggled, this, [this](bool on) {
        m_working.setLowSpaceWarning(on);
        m_threshold->setEnabled(on);
        if (on) {
            m_threshold->setFocus();
            m_threshold->selectAll();
        }
    });
    connect(m_threshold, &QSpinBox::valueChanged, this,
            [this](int mb) { m_working.setWarningThresholdMB(mb); });
}

void PrefsScratchDiskPanel::browse()
{
    const QString chosen = StandardDialogs::current().existingFolder(
        this, tr("Choose folder to use for scratch disk:"), QDir::fromNativeSeparators(m_path->text()));
    if (chosen.isEmpty())
        return;
    const QString folder = QDir::cleanPath(chosen);
    if (!m_working.setScratchFolder(folder.toStdString()))
        return; // longer than the record holds; the old folder stays
    m_path->setText(QDir::toNativeSeparators(folder));
}

} // namespace qm
