// Build tool: renders an SVG into square PNGs of the given sizes.
//   qm_render_icon IN.svg OUT_FOLDER NAME SIZE...  ->  OUT_FOLDER/<SIZE>/NAME.png
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 5) {
        std::fprintf(stderr, "usage: qm_render_icon IN.svg OUT_FOLDER NAME SIZE...\n");
        return 2;
    }
    QSvgRenderer svg(args[1]);
    if (!svg.isValid()) {
        std::fprintf(stderr, "qm_render_icon: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    for (qsizetype i = 4; i < args.size(); ++i) {
        bool ok = false;
        const int size = args[i].toInt(&ok);
        if (!ok || size <= 0 || size > 1024) {
            std::fprintf(stderr, "qm_render_icon: bad size %s\n", qPrintable(args[i]));
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        const QString folder = args[2] + QStringLiteral("/%1").arg(size);
        QDir().mkpath(folder);
        const QString out = folder + QLatin1Char('/') + args[3] + QStringLiteral(".png");
        if (!image.save(out, "PNG")) {
            std::fprintf(stderr, "qm_render_icon: cannot write %s\n", qPrintable(out));
            return 1;
        }
    }
    return 0;
}
