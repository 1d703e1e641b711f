#include "scene/compression_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QDoubleValidator>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <cmath>
#include <optional>

#include "framework/dialog_items.h"
#include "quicktime/codec/codec.h"

namespace qm {

namespace {

// The last settings confirmed in this session: images, then movies.
std::optional<CompressionSettings> g_last[2];

// The depths a compressor can be asked for, and their names.
std::vector<std::pair<int, QString>> depthsFor(OSType codec)
{
    std::vector<std::pair<int, QString>> out;
    const std::pair<int, const char*> all[] = {
        {8, "256 Colors"}, {16, "Thousands of Colors"}, {24, "Millions of Colors"}, {32, "Millions of Colors+"}};
    for (const auto& [depth, name] : all)
        if (compressionDepth(codec, std::int16_t(depth), PixelDepth::Argb32) == depth)
            out.emplace_back(depth, QString::fromLatin1(name));
    if (out.empty())
        out.emplace_back(24, QStringLiteral("Millions of Colors"));
    return out;
}

} // namespace

QString CompressionDialog::qualityName(std::uint32_t q)
{
    if (q < 256)
        return QStringLiteral("Minimum");
    if (q < 512)
        return QStringLiteral("Low");
    if (q < 768)
        return QStringLiteral("Normal");
    if (q < 1023)
        return QStringLiteral("High");
    return QStringLiteral("Maximum");
}

CompressionDialog::CompressionDialog(const CompressionSettings& stored, bool sequence, QWidget* parent)
    : ModalDialog(tr("Compression Settings"), parent), m_stored(stored), m_sequence(sequence)
{
    setObjectName(QStringLiteral("compressionDialog"));
    CompressionSettings start = stored;
    if (start.codecType == 0 && g_last[sequence ? 1 : 0])
        start = *g_last[sequence ? 1 : 0];
    if (start.codecType == 0) {
        start.codecType = codecType::photoJpeg;
        start.spatialQuality = codecQuality::normal;
    }

    auto* form = new QFormLayout;
    m_codec = new QComboBox(this);
    m_codec->setObjectName(QStringLiteral("compressor"));
    for (OSType t : compressorTypes())
        m_codec->addItem(QString::fromStdString(compressorName(t)), QVariant::fromValue<quint32>(t));
    const int index = m_codec->findData(QVariant::fromValue<quint32>(start.codecType));
    m_codec->setCurrentIndex(index >= 0 ? index : 0);
    form->addRow(tr("Compressor:"), m_codec);

    m_depth = new QComboBox(this);
    m_depth->setObjectName(QStringLiteral("depth"));
    form->addRow(tr("Depth:"), m_depth);

    auto* qualityRow = new QHBoxLayout;
    m_quality = new QSlider(Qt::Horizontal, this);
    m_quality->setObjectName(QStringLiteral("quality"));
    m_quality->setRange(0, 1024);
    m_quality->setPageStep(256);
    m_quality->setValue(int(std::min<std::uint32_t>(start.spatialQuality, 1024)));
    m_qualityText = new QLabel(this);
    m_qualityText->setMinimumWidth(90);
    qualityRow->addWidget(m_quality, 1);
    qualityRow->addWidget(m_qualityText);
    form->addRow(tr("Quality:"), qualityRow);

    if (sequence) {
        m_frameRate = new QLineEdit(this);
        m_frameRate->setObjectName(QStringLiteral("frameRate"));
        m_frameRate->setValidator(new QDoubleValidator(0, 120, 3, m_frameRate));
        m_frameRate->setPlaceholderText(tr("as the source"));
        if (start.frameRate > 0)
            m_frameRate->setText(QString::number(start.frameRate / 65536.0, 'g', 6));
        m_keyFrames = new QLineEdit(this);
        m_keyFrames->setObjectName(QStringLiteral("keyFrames"));
        m_keyFrames->setValidator(new QIntValidator(0, 9999, m_keyFrames));
        if (start.keyFrameRate > 0)
            m_keyFrames->setText(QString::number(start.keyFrameRate));
        m_dataRate = new QLineEdit(this);
        m_dataRate->setObjectName(QStringLiteral("dataRate"));
        m_dataRate->setValidator(new QIntValidator(0, 1000000, m_dataRate));
        m_dataRate->setPlaceholderText(tr("no limit"));
        if (start.dataRate > 0)
            m_dataRate->setText(QString::number(start.dataRate / 1024));
        form->addRow(tr("Frames per second:"), m_frameRate);
        form->addRow(tr("Key frame every:"), m_keyFrames);
        form->addRow(tr("Limit data rate to (KBytes/sec):"), m_dataRate);
    }
    body()->addLayout(form);

    codecChosen();
    const int depth = start.dialogDepth ? start.dialogDepth : start.colorDepth;
    const int depthIndex = m_depth->findData(depth);
    if (depthIndex >= 0)
        m_depth->setCurrentIndex(depthIndex);
    qualityMoved();
    connect(m_codec, &QComboBox::currentIndexChanged, this, [this] { codecChosen(); });
    connect(m_quality, &QSlider::valueChanged, this, [this] { qualityMoved(); });
}

void CompressionDialog::codecChosen()
{
    const OSType codec = m_codec->currentData().value<quint32>();
    const int previous = m_depth->currentData().toInt();
    m_depth->clear();
    for (const auto& [depth, name] : depthsFor(codec))
        m_depth->addItem(name, depth);
    const int index = m_depth->findData(previous);
    m_depth->setCurrentIndex(index >= 0 ? index : m_depth->count() - 1);
}

void CompressionDialog::qualityMoved()
{
    const int q = m_quality->value();
    m_qualityText->setText(QStringLiteral("%1 (%2)").arg(qualityName(std::uint32_t(q))).arg(q * 100 / 1024));
}

CompressionSettings CompressionDialog::settings() const
{
    CompressionSettings s = m_stored;
    s.codecType = m_codec->currentData().value<quint32>();
    s.codecComponent = 0;
    s.spatialQuality = std::uint32_t(m_quality->value());
    s.dialogDepth = std::int16_t(m_depth->currentData().toInt());
    if (m_sequence) {
        const double fps = m_frameRate->text().toDouble();
        s.frameRate = fps > 0 ? Fixed(std::lround(fps * 65536.0)) : 0;
        s.keyFrameRate = m_keyFrames->text().toInt();
        s.dataRate = m_dataRate->text().toInt() * 1024;
        s.temporalQuality = s.spatialQuality;
    }
    return s;
}

void CompressionDialog::remember() const
{
    g_last[m_sequence ? 1 : 0] = settings();
}

} // namespace qm
