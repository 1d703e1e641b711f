#include "framework/dialog_items.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QSignalBlocker>
#include <QTabWidget>

namespace qm::items {

QString itemName(int id) { return QStringLiteral("item%1").arg(id); }

void setItemId(QWidget* widget, int id) { widget->setObjectName(itemName(id)); }

QWidget* item(const QWidget* dialog, int id)
{
    if (!dialog || id == 0)
        return nullptr;
    return dialog->findChild<QWidget*>(itemName(id));
}

int controlValue(const QWidget* dialog, int id)
{
    QWidget* w = item(dialog, id);
    if (auto* c = qobject_cast<QComboBox*>(w))
        return c->currentIndex() + 1;
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->isChecked() ? 1 : 0;
    if (auto* s = qobject_cast<QAbstractSlider*>(w))
        return s->value();
    if (auto* t = qobject_cast<QTabWidget*>(w))
        return t->currentIndex() + 1;
    return 0;
}

void setControlValue(QWidget* dialog, int id, int value)
{
    if (controlValue(dialog, id) == value)
        return;
    QWidget* w = item(dialog, id);
    if (auto* c = qobject_cast<QComboBox*>(w))
        c->setCurrentIndex(value - 1);
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setChecked(value != 0);
    else if (auto* s = qobject_cast<QAbstractSlider*>(w))
        s->setValue(value);
    else if (auto* t = qobject_cast<QTabWidget*>(w))
        t->setCurrentIndex(value - 1);
}

int toggleCheckBox(QWidget* dialog, int id)
{
    int v = controlValue(dialog, id) == 1 ? 0 : 1;
    setControlValue(dialog, id, v);
    return v;
}

void insertListItem(QComboBox* list, int after, const QString& text)
{
    if (!list)
        return;
    int index = after < 0 ? 0 : std::min(after, list->count());
    list->insertItem(index, text);
}

bool selectListItem(QComboBox* list, const QString& text)
{
    if (!list)
        return false;
    int index = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0)
        return false;
    if (index != list->currentIndex())
        list->setCurrentIndex(index);
    return true;
}

} // namespace qm::items
