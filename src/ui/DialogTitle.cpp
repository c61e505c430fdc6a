#include "ui/DialogTitle.h"

#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLayout>
#include <QSpacerItem>
#include <QWidget>

namespace {

// The frame's icon, its close button and the margins around them.
constexpr int kFrameRoom = 120;

} // namespace

int DialogTitle::widthFor(const QString& title, const QFont& font) {
    QFont bar = font;
    bar.setBold(true);
    bar.setPointSizeF(bar.pointSizeF() > 0 ? bar.pointSizeF() * 1.15 : bar.pointSizeF());
    if (bar.pixelSize() > 0) bar.setPixelSize(bar.pixelSize() * 115 / 100);
    return QFontMetrics(bar).horizontalAdvance(title) + kFrameRoom;
}

void DialogTitle::fit(QWidget& dialog) {
    QLayout* layout = dialog.layout();
    const int wanted = widthFor(dialog.windowTitle(), dialog.font());
    if (!layout) {
        dialog.setMinimumWidth(wanted);
        return;
    }
    // A spacer rather than a minimum width: a layout that fixes the dialog's size would
    // override the minimum, but it always makes room for its items.
    const QMargins margins = layout->contentsMargins();
    auto* spacer = new QSpacerItem(wanted - margins.left() - margins.right(), 0, QSizePolicy::Fixed,
                                   QSizePolicy::Minimum);
    if (auto* grid = qobject_cast<QGridLayout*>(layout))
        grid->addItem(spacer, grid->rowCount(), 0, 1, grid->columnCount());
    else
        layout->addItem(spacer);
}

QMessageBox::StandardButton DialogTitle::runMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                                       const QString& text, QMessageBox::StandardButtons buttons,
                                                       QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
    fit(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
