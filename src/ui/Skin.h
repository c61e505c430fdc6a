#pragma once

#include "ui/SkinCatalog.h"

#include <QIcon>
#include <QPixmap>
#include <QString>

// The skin's pictures from the resources compiled into quorvel_ui. A picture is taken at 2x
// wherever the screen asks for more than one device pixel per logical pixel, and is always
// drawn at its logical size.
// Thread: window (pixmaps belong to it).
class Skin {
public:
    // The picture for a paint device of the given device-pixel ratio; loaded once per scale.
    static QPixmap pixmap(SkinImage image, qreal devicePixelRatio);
    static QIcon programIcon();
    // The resource path, ":/skin/name.png" or ":/skin/name@2x.png".
    static QString resourcePath(SkinImage image, bool doubleSize);

private:
    static void ensureResources();
};
