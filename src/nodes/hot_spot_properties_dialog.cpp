#include "nodes/hot_spot_properties_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "compose/hot_spot_edits.h"
#include "framework/centre_window.h"

namespace qm {

namespace {

template <class T> T* named(T* w, const QString& name)
{
    w->setObjectName(name);
    return w;
}

QDoubleSpinBox* degrees(QWidget* parent, const QString& name, double min, double max)
{
    auto* s = named(new QDoubleSpinBox(parent), name);
    s->setRange(min, max);
    s->setDecimals(1);
    s->setSuffix(QStringLiteral("°"));
    return s;
}

QSpinBox* integer(QWidget* parent, const QString& name, int min, int max)
{
    auto* s = named(new QSpinBox(parent), name);
    s->setRange(min, max);
    return s;
}

OSType typeFromText(const QString& text)
{
    const std::string s = text.toLatin1().left(4).toStdString();
    if (s == "undf")
        return 0;
    return fourCCFromString(s);
}

} // namespace

HotSpotPropertiesDialog::HotSpotPropertiesDialog(const Scene& scene, const HotSpot& h, QWidget* parent)
    : QDialog(parent), m_original(h)
{
    setWindowTitle(QStringLiteral("Hot Spot Properties"));
    setObjectName(QStringLiteral("dialog208"));
    auto* layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    layout->addWidget(m_tabs);

    // General
    auto* general = new QWidget(m_tabs);
    auto* gf = new QFormLayout(general);
    m_kind = named(new QComboBox(general), QStringLiteral("kind"));
    for (const char* label : {"Link", "Navigable Object", "Still Object", "Miscellaneous", "URL", "Other:"})
        m_kind->addItem(QString::fromLatin1(label));
    m_type = named(new QLineEdit(general), QStringLiteral("type"));
    m_type->setMaxLength(4);
    auto* id = named(new QLabel(QString::asprintf("%03d", int(h.id)), general), QStringLiteral("id"));
    m_name = named(new QLineEdit(QString::fromStdString(h.name), general), QStringLiteral("name"));
    m_name->setMaxLength(255);
    m_comment = named(new QPlainTextEdit(QString::fromStdString(h.comment), general), QStringLiteral("comment"));
    gf->addRow(QStringLiteral("Kind:"), m_kind);
    gf->addRow(QStringLiteral("Type:"), m_type);
    gf->addRow(QStringLiteral("ID:"), id);
    gf->addRow(QStringLiteral("Name:"), m_name);
    gf->addRow(QStringLiteral("Comment:"), m_comment);
    m_tabs->addTab(general, QStringLiteral("General"));

    // Cursors
    auto* cursors = new QWidget(m_tabs);
    auto* cf = new QFormLayout(cursors);
    m_customCursors = named(new QCheckBox(QStringLiteral("Custom Cursors"), cursors), QStringLiteral("customCursors"));
    m_customCursors->setChecked(h.customCursors);
    cf->addRow(m_customCursors);
    const char* cursorLabels[] = {"Mouse-over ID:", "Mouse-down ID:", "Mouse-up ID:"};
    const std::int16_t cursorValues[] = {h.mouseOverCursor, h.mouseDownCursor, h.mouseUpCursor};
    for (int i = 0; i < 3; ++i) {
        m_cursors[i] = integer(cursors, QStringLiteral("cursor%1").arg(i + 1), -32768, 32767);
        m_cursors[i]->setValue(cursorValues[i]);
        m_cursors[i]->setDisplayIntegerBase(10);
        cf->addRow(QString::fromLatin1(cursorLabels[i]), m_cursors[i]);
    }
    m_tabs->addTab(cursors, QStringLiteral("Cursors"));

    // Link
    auto* link = new QWidget(m_tabs);
    auto* lg = new QGridLayout(link);
    m_destination = named(new QComboBox(link), QStringLiteral("destination"));
    int chosen = -1;
    for (const Node& n : scene.nodes) {
        m_destination->addItem(QString::asprintf("%03d \"%s\"", int(n.id), n.name.c_str()), int(n.id));
        if (n.id == h.destinationNodeId)
            chosen = m_destination->count() - 1;
    }
    if (chosen < 0) {
        m_destination->insertItem(0, QString::asprintf("%03d \"\"", int(h.destinationNodeId)), int(h.destinationNodeId));
        chosen = 0;
    }
    m_destination->setCurrentIndex(chosen);
    lg->addWidget(new QLabel(QStringLiteral("Destination Node ID:"), link), 0, 0);
    lg->addWidget(m_destination, 0, 1, 1, 3);
    m_customView = named(new QCheckBox(QStringLiteral("Custom Link View"), link), QStringLiteral("customView"));
    m_customView->setChecked(h.customLinkView);
    lg->addWidget(m_customView, 1, 0, 1, 4);
    const LinkView& v = h.linkView;
    m_panSet = named(new QCheckBox(QStringLiteral("Pan:"), link), QStringLiteral("panSet"));
    m_tiltSet = named(new QCheckBox(QStringLiteral("Tilt:"), link), QStringLiteral("tiltSet"));
    m_fovSet = named(new QCheckBox(QStringLiteral("FOV:"), link), QStringLiteral("fovSet"));
    m_centerSet = named(new QCheckBox(QStringLiteral("View Center"), link), QStringLiteral("centerSet"));
    m_pan = degrees(link, QStringLiteral("pan"), -360, 360);
    m_tilt = degrees(link, QStringLiteral("tilt"), -90, 90);
    m_fov = degrees(link, QStringLiteral("fov"), 0, 180);
    m_centerH = integer(link, QStringLiteral("centerH"), -32768, 32767);
    m_centerV = integer(link, QStringLiteral("centerV"), -32768, 32767);
    m_panSet->setChecked(v.panSet);
    m_tiltSet->setChecked(v.tiltSet);
    m_fovSet->setChecked(v.fieldOfViewSet);
    m_centerSet->setChecked(v.viewCenterSet);
    m_pan->setValue(v.pan);
    m_tilt->setValue(v.tilt);
    m_fov->setValue(v.fieldOfView);
    m_centerH->setValue(v.viewCenter.h);
    m_centerV->setValue(v.viewCenter.v);
    lg->addWidget(m_panSet, 2, 0);
    lg->addWidget(m_pan, 2, 1);
    lg->addWidget(m_tiltSet, 3, 0);
    lg->addWidget(m_tilt, 3, 1);
    lg->addWidget(m_fovSet, 4, 0);
    lg->addWidget(m_fov, 4, 1);
    lg->addWidget(m_centerSet, 5, 0);
    lg->addWidget(new QLabel(QStringLiteral("H:"), link), 5, 1, Qt::AlignRight);
    lg->addWidget(m_centerH, 5, 2);
    lg->addWidget(new QLabel(QStringLiteral("V:"), link), 6, 1, Qt::AlignRight);
    lg->addWidget(m_centerV, 6, 2);
    lg->setRowStretch(7, 1);
    m_tabs->addTab(link, QStringLiteral("Link"));

    // URL
    auto* url = new QWidget(m_tabs);
    auto* uf = new QFormLayout(url);
    m_url = named(new QLineEdit(h.url.empty() ? QString::fromLatin1(kDefaultUrl) : QString::fromStdString(h.url), url),
                  QStringLiteral("url"));
    uf->addRow(QStringLiteral("URL:"), m_url);
    m_tabs->addTab(url, QStringLiteral("URL"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("item1"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("item2"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    const int item = hotSpotKindItem(h.type);
    m_kind->setCurrentIndex(item - 1);
    m_type->setText(QString::fromStdString(hotSpotTypeText(h.type)));
    // The Link and URL tabs start as the type has them.
    m_tabs->setTabEnabled(2, item == 1);
    m_tabs->setTabEnabled(3, item == 5);
    connect(m_kind, qOverload<int>(&QComboBox::activated), this, &HotSpotPropertiesDialog::kindChosen);
    for (QCheckBox* b : {m_customCursors, m_customView, m_panSet, m_tiltSet, m_fovSet, m_centerSet})
        connect(b, &QCheckBox::toggled, this, &HotSpotPropertiesDialog::updateEnabling);
    updateEnabling();
}

void HotSpotPropertiesDialog::kindChosen(int index)
{
    const int item = index + 1;
    if (item <= 5) {
        m_type->setText(QString::fromStdString(hotSpotTypeText(hotSpotKindType(item))));
        m_tabs->setTabEnabled(2, item == 1);
        m_tabs->setTabEnabled(3, item == 5);
    }
    updateEnabling();
}

void HotSpotPropertiesDialog::updateEnabling()
{
    m_type->setEnabled(m_kind->currentIndex() == 5);
    for (QSpinBox* s : m_cursors)
        s->setEnabled(m_customCursors->isChecked());
    const bool custom = m_customView->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(m_panSet), static_cast<QWidget*>(m_tiltSet),
                       static_cast<QWidget*>(m_fovSet), static_cast<QWidget*>(m_centerSet)})
        w->setEnabled(custom);
    m_pan->setEnabled(custom && m_panSet->isChecked());
    m_tilt->setEnabled(custom && m_tiltSet->isChecked());
    m_fov->setEnabled(custom && m_fovSet->isChecked());
    m_centerH->setEnabled(custom && m_centerSet->isChecked());
    m_centerV->setEnabled(custom && m_centerSet->isChecked());
}

HotSpot HotSpotPropertiesDialog::hotSpot() const
{
    HotSpot h = m_original;
    const int item = m_kind->currentIndex() + 1;
    h.type = item <= 5 ? hotSpotKindType(item) : typeFromText(m_type->text());
    h.name = m_name->text().toStdString();
    h.comment = m_comment->toPlainText().left(255).toStdString();
    h.customCursors = m_customCursors->isChecked();
    if (h.customCursors) {
        h.mouseOverCursor = std::int16_t(m_cursors[0]->value());
        h.mouseDownCursor = std::int16_t(m_cursors[1]->value());
        h.mouseUpCursor = std::int16_t(m_cursors[2]->value());
    }
    h.destinationNodeId = std::int16_t(m_destination->currentData().toInt());
    h.customLinkView = m_customView->isChecked();
    if (h.customLinkView) {
        LinkView& v = h.linkView;
        v.panSet = m_panSet->isChecked();
        v.tiltSet = m_tiltSet->isChecked();
        v.fieldOfViewSet = m_fovSet->isChecked();
        v.viewCenterSet = m_centerSet->isChecked();
        if (v.panSet)
            v.pan = float(m_pan->value());
        if (v.tiltSet)
            v.tilt = float(m_tilt->value());
        if (v.fieldOfViewSet)
            v.fieldOfView = float(m_fov->value());
        if (v.viewCenterSet)
            v.viewCenter = Point{std::int16_t(m_centerV->value()), std::int16_t(m_centerH->value())};
    }
    const QString url = m_url->text();
    // The suggested address is not the hot spot's own until the user makes it so.
    if (!(m_original.url.empty() && url == QString::fromLatin1(kDefaultUrl) && h.type != HotSpotType::kUrl))
        h.url = url.toStdString();
    if (h.type == HotSpotType::kUrl && url.isEmpty())
        h.url.clear();
    return h;
}

bool HotSpotPropertiesDialog::run()
{
    centreWindow(this, parentWidget() ? parentWidget()->window() : nullptr);
    if (exec() != QDialog::Accepted)
        return false;
    return !(hotSpot() == m_original);
}

} // namespace qm
