#pragma once
// Dialog items addressed by their item number: every control whose number matters carries the
// objectName "item<N>". Control values are 1-based as the program's handlers expect them:
// a list's value is its selected entry + 1 (0: none), a check box's is 1 when ticked, a
// slider's is its position, a tab control's its current tab + 1.
#include <QString>
#include <QWidget>

class QComboBox;

namespace qm::items {

QString itemName(int id);
void setItemId(QWidget* widget, int id);

// The item of the given number among the dialog's descendants, or null.
QWidget* item(const QWidget* dialog, int id);
template <class T>
T* item(const QWidget* dialog, int id)
{
    return qobject_cast<T*>(item(dialog, id));
}

int controlValue(const QWidget* dialog, int id);
// Does nothing (and emits nothing) when the value is already the control's.
void setControlValue(QWidget* dialog, int id, int value);
// Ticks a box that was not ticked and clears one that was; returns the new value.
int toggleCheckBox(QWidget* dialog, int id);

// Inserts after entry n (1-based; 0 inserts at the top, beyond the count appends).
void insertListItem(QComboBox* list, int after, const QString& text);
// Selects the entry whose text matches exactly; false when there is none.
bool selectListItem(QComboBox* list, const QString& text);

} // namespace qm::items
