#pragma once

#include "ui/SkinCatalog.h"

class QPainter;

// Draws each picture of QUORVEL's skin in logical pixels, for a painter on an image of the
// picture's logical size times any device-pixel ratio, so the 2x pictures are the same
// drawing with finer detail. Everything is lit from the top left: edges facing up and left
// catch the light, recesses are shadowed on their upper and left walls. Random texture comes
// from fixed seeds, so every run draws the same pictures.
// Thread: window (the QGuiApplication's thread, for the fonts).
class SkinPainter {
public:
    static void paint(SkinImage image, QPainter& painter);

private:
    static void panelTile(QPainter& p);
    static void strip(QPainter& p, bool left);
    static void title(QPainter& p);
    static void buttonFace(QPainter& p, SkinImage face);
    static void thumb(QPainter& p, bool lamp);
    static void track(QPainter& p, int height);
    static void trackFoot(QPainter& p);
    static void spectrumBackground(QPainter& p);
    static void programIcon(QPainter& p);
};
