#pragma once

#include "engine/Engine.h"

#include "ui/PanelWidget.h"

#include <QString>
#include <array>

// The 178 x 102 display in the middle of the panel. In spectrum mode it shows the modulator's
// 18 channel values as columns of yellow dashes with a slowly following red peak mark; in map
// mode it shows, per column, which channel drives it, and the user redraws that routing with
// the mouse: press to pick a column, drag up and down to set its entry.
//
// The display keeps its own copy of the channel map; updateSpectrum() hands it back to the
// caller every time, so an edit reaches the engine with the next spectrum update.
// Thread: window.
class SpectrumDisplay : public PanelWidget {
    Q_OBJECT

public:
    using Values = std::array<double, kChannels>;
    using Map = std::array<int, kChannels>;

    explicit SpectrumDisplay(QWidget* parent = nullptr);

    // One update per 18 processed blocks with the kernel's channel values. Writes the display's
    // map into mapOut and repaints the columns whose dashes or peak mark moved.
    void updateSpectrum(const Values& energy, Map& mapOut);

    void setMapMode(bool on);
    bool mapMode() const { return mapMode_; }

    // Entries outside 0..17 are brought within it.
    void setMap(const Map& map);
    const Map& map() const { return map_; }
    int selectedColumn() const { return selected_; }

    // Bar height 0..256 and its smoothed peak, per column.
    float bar(int column) const { return bar_[at(column)]; }
    float peak(int column) const { return peak_[at(column)]; }
    // What a column shows: how many dashes, and the row of the peak mark.
    static int dashCount(float bar);
    static int peakRow(float peak);

    // A line across the top of the display that says what is wrong with the sound (no
    // sound card, underruns, a lost server), where a player looks; empty: all is well.
    void setStatus(const QString& text);
    const QString& status() const { return status_; }
    static QRect statusRect();

Q_SIGNALS:
    // The user changed an entry of the map with the mouse.
    void mapEdited();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    static std::size_t at(int column) { return static_cast<std::size_t>(column); }
    static QRect columnRect(int column);
    void editAt(int y);

    std::array<float, kChannels> bar_{};
    std::array<float, kChannels> peak_{};
    // What the spectrum columns show now, to repaint only those that change.
    std::array<int, kChannels> shownDashes_{};
    std::array<int, kChannels> shownPeakRow_{};
    Map map_{};
    bool mapMode_ = false;
    int selected_ = 0;
    bool editing_ = false;
    QString status_;
};
