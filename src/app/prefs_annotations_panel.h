#pragma once
// Preferences panel "Annotations": the name, copyright and description that composing puts
// into the movie.
#include <QWidget>

class QComboBox;
class QPlainTextEdit;

namespace qm {

class PreferencesRecord;

class PrefsAnnotationsPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxLength = 255;

    PrefsAnnotationsPanel(PreferencesRecord& working, QWidget* parent = nullptr);

private:
    void showField();
    void storeField();

    PreferencesRecord& m_working;
    QComboBox* m_field;
    QPlainTextEdit* m_text;
    bool m_showing = false;
};

} // namespace qm
