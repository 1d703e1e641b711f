#pragma once
// Preferences panel "Scratch Disk": the folder of scratch files and the low-space warning.
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace qm {

class PreferencesRecord;

class PrefsScratchDiskPanel : public QWidget {
    Q_OBJECT
public:
    PrefsScratchDiskPanel(PreferencesRecord& working, QWidget* parent = nullptr);

private:
    void browse();

    PreferencesRecord& m_working;
    QLineEdit* m_path;
    QCheckBox* m_warning;
    QSpinBox* m_threshold;
};

} // namespace qm
