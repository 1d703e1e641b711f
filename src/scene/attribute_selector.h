#pragma once
// The "Pen Size Selector" and the "Pattern Selector": a list of pictures, one of which is
// chosen. The result is the chosen entry's number (1-based), 0 when none is selected.
#include "framework/modal_dialog.h"

class QListWidget;

namespace qm {

class AttributeSelector : public ModalDialog {
    Q_OBJECT
public:
    static AttributeSelector* penSizeSelector(int current, QWidget* parent = nullptr);
    static AttributeSelector* patternSelector(int current, QWidget* parent = nullptr);

    int selection() const;

private:
    AttributeSelector(const QString& title, int listItem, QWidget* parent);
    void selectEntry(int current);
    void fitList(int columns, int rows);

    QListWidget* m_list;
};

} // namespace qm
