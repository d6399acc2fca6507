// Writes the application icon as PNG files for the hicolor theme, from the same drawing the
// window uses: render_icons FOLDER SIZE... writes FOLDER/SIZExSIZE/apps/cfg-rm7ux-radio.png.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "widgets/AppIcon.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "Usage: render_icons FOLDER SIZE...\n");
        return 2;
    }
    for (int i = 2; i < args.size(); ++i) {
        bool ok = false;
        const int size = args[i].toInt(&ok);
        if (!ok || size < 8 || size > 1024) {
            std::fprintf(stderr, "render_icons: bad size %s\n", qPrintable(args[i]));
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            PaintAppIcon(p, QRectF(0, 0, size, size));
        }
        const QString folder = QString("%1/%2x%2/apps").arg(args[1]).arg(size);
        if (!QDir().mkpath(folder) || !image.save(folder + "/cfg-rm7ux-radio.png")) {
            std::fprintf(stderr, "render_icons: cannot write in %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
