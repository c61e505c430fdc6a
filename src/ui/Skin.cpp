#include "ui/Skin.h"

#include <QPixmapCache>

// The resources sit in a static library; nothing would pull their object file into a program
// unless something names its initialiser, which this does.
static void initialiseSkinResources() {
    Q_INIT_RESOURCE(skin);
}

namespace {

constexpr bool catalogInEnumOrder() {
    for (int i = 0; i < kSkinImageCount; ++i)
        if (static_cast<int>(kSkinImages[static_cast<std::size_t>(i)].image) != i) return false;
    return true;
}
static_assert(catalogInEnumOrder(), "kSkinImages must list the images in SkinImage order");

} // namespace

void Skin::ensureResources() {
    static const bool done = [] {
        initialiseSkinResources();
        return true;
    }();
    (void)done;
}

QString Skin::resourcePath(SkinImage image, bool doubleSize) {
    const SkinImageInfo& info = skinImageInfo(image);
    return QStringLiteral(":/skin/") + QString::fromLatin1(info.name.data(), qsizetype(info.name.size())) +
           (doubleSize ? QStringLiteral("@2x.png") : QStringLiteral(".png"));
}

QPixmap Skin::pixmap(SkinImage image, qreal devicePixelRatio) {
    ensureResources();
    const bool doubleSize = devicePixelRatio > 1.0 && skinImageInfo(image).hasDoubleSize;
    const QString path = resourcePath(image, doubleSize);
    QPixmap picture;
    if (QPixmapCache::find(path, &picture)) return picture;
    picture.load(path);
    // The reader already reads the ratio from the "@2x" in the name; saying it again keeps the
    // logical size right whatever the image plug-in does.
    picture.setDevicePixelRatio(doubleSize ? 2.0 : 1.0);
    QPixmapCache::insert(path, picture);
    return picture;
}

QIcon Skin::programIcon() {
    ensureResources();
    return QIcon(resourcePath(SkinImage::ProgramIcon, false));
}
