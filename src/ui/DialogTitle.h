#pragma once

#include <QMessageBox>
#include <QString>

class QFont;
class QWidget;

// A title bar shortens a title wider than its window ("Select the… er Source", "QUORVEL -
// 18 Ch… der - version 2.0"). Fitting a dialog or message box makes it at least as wide as
// its whole title, with room for the frame's icon and buttons.
// Thread: window.
class DialogTitle {
public:
    // How wide a window must be for `title` in a title bar (whose font is the window
    // manager's: taken as the dialog's own, bold and a little larger).
    static int widthFor(const QString& title, const QFont& font);
    // Widens `dialog`'s layout to widthFor(its title); call once its title and layout are set.
    static void fit(QWidget& dialog);
    // A message box fitted to its title, run modally; the button that ended it.
    static QMessageBox::StandardButton runMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                                     const QString& text, QMessageBox::StandardButtons buttons,
                                                     QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
};
