// Build tool: renders the program's SVG icon to the PNG sizes of the hicolor theme, for desktops and
// software centres that want bitmaps. Usage: render_icon ICON.svg OUTDIR SIZE...; writes OUTDIR/SIZE.png.
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: render_icon ICON.svg OUTDIR SIZE...\n");
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "render_icon: cannot read %s\n", argv[1]);
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size <= 0)
            return 2;
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        const QString out = QString::fromLocal8Bit(argv[2]) + QStringLiteral("/%1.png").arg(size);
        if (!image.save(out, "PNG")) {
            std::fprintf(stderr, "render_icon: cannot write %s\n", out.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
