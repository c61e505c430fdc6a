// Draws QUORVEL's skin and writes it as PNG files: `name.png` at 1x and `name@2x.png` at 2x
// for every picture of the skin catalogue; or the program's icon at the sizes desktops ask
// for, in the layout of an icon theme.
//
//     quorvel-skin-generator <folder>          (the committed pictures live in assets/skin/)
//     quorvel-skin-generator --icons <folder>  (<folder>/<N>x<N>/apps/quorvel.png; the build)

#include "ui/SkinCatalog.h"
#include "SkinPainter.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

namespace {

bool isOpaque(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(row[x]) != 255) return false;
    }
    return true;
}

bool writePicture(const SkinImageInfo& info, int scale, const QDir& folder) {
    QImage image(info.width * scale, info.height * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        SkinPainter::paint(info.image, painter);
    }
    // Pictures without transparency are stored without an alpha channel: smaller files.
    if (isOpaque(image)) image = image.convertToFormat(QImage::Format_RGB32);
    const QString name = QString::fromLatin1(info.name.data(), qsizetype(info.name.size())) +
                         (scale == 1 ? QStringLiteral(".png") : QStringLiteral("@%1x.png").arg(scale));
    const QString path = folder.filePath(name);
    if (!image.save(path, "PNG", 9)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// Drawn from the picture itself rather than scaled from 256 pixels, so the small sizes keep
// crisp edges.
bool writeIcons(const QDir& folder) {
    const SkinImageInfo& info = skinImageInfo(SkinImage::ProgramIcon);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.scale(double(size) / info.width, double(size) / info.height);
            SkinPainter::paint(info.image, painter);
        }
        const QString sub = QStringLiteral("%1x%1/apps").arg(size);
        if (!folder.mkpath(sub) || !image.save(folder.filePath(sub + "/quorvel.png"), "PNG", 9)) {
            std::fprintf(stderr, "cannot write the %d-pixel icon into %s\n", size, qPrintable(folder.path()));
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    // Drawing needs no screen: run anywhere, including build machines without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool icons = argc == 3 && QByteArray(argv[1]) == "--icons";
    if (argc != 2 && !icons) {
        std::fprintf(stderr, "usage: %s [--icons] <output folder>\n", argv[0]);
        return 2;
    }
    if (icons) return writeIcons(QDir(QString::fromLocal8Bit(argv[2]))) ? 0 : 1;
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    for (const SkinImageInfo& info : kSkinImages) {
        ok = writePicture(info, 1, folder) && ok;
        if (info.hasDoubleSize) ok = writePicture(info, 2, folder) && ok;
    }
    return ok ? 0 : 1;
}
