#include "scene/attribute_selector.h"

#include <QVBoxLayout>
#include <QListWidget>
#include <QPainter>

#include "framework/dialog_items.h"
#include "quicktime/raster/raster_pattern.h"

namespace qm {

namespace {

constexpr int kPenSizes = 6;
constexpr int kPenImageWidth = 48;
constexpr int kPatternImageWidth = 27;

QPixmap penSizeImage(int size)
{
    QPixmap p(kPenImageWidth, 24);
    p.fill(Qt::white);
    QPainter painter(&p);
    painter.fillRect(QRect(6, 12 - size / 2, kPenImageWidth - 12, size), Qt::black);
    return p;
}

QPixmap patternImage(int number)
{
    QImage image(kPatternImageWidth, kPatternImageWidth, QImage::Format_RGB32);
    const Pattern pattern = fillPattern(number).value_or(kWhitePattern);
    for (int v = 0; v < image.height(); ++v)
        for (int h = 0; h < image.width(); ++h)
            image.setPixel(h, v, pattern.bit(h, v) ? 0xFF000000u : 0xFFFFFFFFu);
    QPixmap p = QPixmap::fromImage(image);
    QPainter painter(&p);
    painter.setPen(Qt::black);
    painter.drawRect(p.rect().adjusted(0, 0, -1, -1));
    return p;
}

} // namespace

AttributeSelector::AttributeSelector(const QString& title, int listItem, QWidget* parent)
    : ModalDialog(title, parent)
{
    m_list = new QListWidget(this);
    items::setItemId(m_list, listItem);
    m_list->setViewMode(QListView::IconMode);
    m_list->setMovement(QListView::Static);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setWrapping(true);
    body()->addWidget(m_list);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

AttributeSelector* AttributeSelector::penSizeSelector(int current, QWidget* parent)
{
    auto* dialog = new AttributeSelector(tr("Pen Size Selector"), 587, parent);
    dialog->setObjectName(QStringLiteral("dialog220"));
    dialog->m_list->setIconSize(QSize(kPenImageWidth, 24));
    dialog->m_list->setGridSize(QSize(kPenImageWidth + 12, 50));
    dialog->fitList(3, 2);
    for (int size = 1; size <= kPenSizes; ++size)
        dialog->m_list->addItem(
            new QListWidgetItem(QIcon(penSizeImage(size)), QString::asprintf("%d", size)));
    dialog->selectEntry(current);
    return dialog;
}

AttributeSelector* AttributeSelector::patternSelector(int current, QWidget* parent)
{
    auto* dialog = new AttributeSelector(tr("Pattern Selector"), 588, parent);
    dialog->setObjectName(QStringLiteral("dialog221"));
    dialog->m_list->setIconSize(QSize(kPatternImageWidth, kPatternImageWidth));
    dialog->m_list->setGridSize(QSize(44, 50));
    dialog->fitList(8, 5);
    for (int n = 1; n <= kFillPatternCount; ++n)
        dialog->m_list->addItem(
            new QListWidgetItem(QIcon(patternImage(n)), QString::asprintf("%d", n)));
    dialog->selectEntry(current);
    return dialog;
}

void AttributeSelector::fitList(int columns, int rows)
{
    // Room for every entry without scrolling, with a margin for the frame and the layout's
    // rounding.
    const QSize grid = m_list->gridSize();
    const int frame = 2 * m_list->frameWidth() + 6;
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setFixedSize(columns * grid.width() + frame, rows * grid.height() + frame);
}

void AttributeSelector::selectEntry(int current)
{
    m_list->clearSelection();
    m_list->setCurrentItem(nullptr);
    if (current >= 1 && current <= m_list->count()) {
        QListWidgetItem* entry = m_list->item(current - 1);
        m_list->setCurrentItem(entry);
        entry->setSelected(true);
        m_list->scrollToItem(entry);
    }
}

int AttributeSelector::selection() const
{
    const auto selected = m_list->selectedItems();
    return selected.isEmpty() ? 0 : m_list->row(selected.first()) + 1;
}

} // namespace qm
