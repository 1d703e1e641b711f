#include "app/prefs_annotations_panel.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "appcore/preferences_record.h"
#include "framework/dialog_items.h"

namespace qm {

PrefsAnnotationsPanel::PrefsAnnotationsPanel(PreferencesRecord& working, QWidget* parent)
    : QWidget(parent), m_working(working)
{
    setObjectName(QStringLiteral("dialog5803"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* group = new QGroupBox(tr("Movie Annotations"), this);
    auto* form = new QFormLayout(group);
    m_field = new QComboBox(group);
    items::setItemId(m_field, 5852);
    m_field->addItems({tr("Name"), tr("Copyright"), tr("Description")});
    m_text = new QPlainTextEdit(group);
    items::setItemId(m_text, 5853);
    m_text->setMinimumHeight(110);
    form->addRow(tr("Field:"), m_field);
    form->addRow(m_text);
    layout->addWidget(group);
    layout->addStretch(1);

    connect(m_field, &QComboBox::currentIndexChanged, this, &PrefsAnnotationsPanel::showField);
    connect(m_text, &QPlainTextEdit::textChanged, this, &PrefsAnnotationsPanel::storeField);
    showField();
}

void PrefsAnnotationsPanel::showField()
{
    std::string text;
    switch (m_field->currentIndex()) {
    case 0: text = m_working.annotationName(); break;
    case 1: text = m_working.annotationCopyright(); break;
    default: text = m_working.annotationDescription(); break;
    }
    m_showing = true;
    m_text->setPlainText(QString::fromUtf8(text));
    m_showing = false;
}

void PrefsAnnotationsPanel::storeField()
{
    if (m_showing)
        return;
    QString text = m_text->toPlainText();
    if (text.size() > kMaxLength) {
        text.truncate(kMaxLength);
        m_showing = true;
        m_text->setPlainText(text);
        m_text->moveCursor(QTextCursor::End);
        m_showing = false;
    }
    // The record keeps bytes: its setters cut a longer UTF-8 text at a character boundary.
    const std::string bytes = text.toStdString();
    switch (m_field->currentIndex()) {
    case 0: m_working.setAnnotationName(bytes); break;
    case 1: m_working.setAnnotationCopyright(bytes); break;
    default: m_working.setAnnotationDescription(bytes); break;
    }
}

} // namespace qm
