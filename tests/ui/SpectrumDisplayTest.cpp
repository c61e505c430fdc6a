#include "ui/SpectrumDisplay.h"

#include "PaintCounter.h"

#include <QCoreApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <set>

namespace {

const QColor kYellow(255, 255, 0);
const QColor kRed(255, 0, 0);

class Display : public ::testing::Test {
protected:
    Display() {
        display.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&display));
        settle();
    }

    void feed(double energy, int times) {
        SpectrumDisplay::Values values;
        values.fill(energy);
        for (int i = 0; i < times; ++i) display.updateSpectrum(values, mapOut);
    }
    QImage image() {
        QImage picture(display.size(), QImage::Format_RGB32);
        display.render(&picture);
        return picture;
    }
    // Column i's marks span x = 18 + 8·i .. 23 + 8·i.
    static int columnLeft(int column) { return 18 + 8 * column; }
    // The rows of column `column` whose whole mark is in `colour`.
    static std::vector<int> rowsIn(const QImage& picture, int column, const QColor& colour) {
        std::vector<int> rows;
        for (int y = 0; y < picture.height(); ++y) {
            bool all = true;
            for (int x = columnLeft(column); x < columnLeft(column) + 6; ++x)
                all = all && picture.pixelColor(x, y) == colour;
            if (all) rows.push_back(y);
        }
        return rows;
    }
    // A spectrum column shows `dashes` yellow dashes upward from row 84, every other row, and
    // the red peak mark on top of them wherever it falls.
    void expectColumnShows(const QImage& picture, int column, int dashes) {
        const int peakRow = SpectrumDisplay::peakRow(display.peak(column));
        std::set<int> expectedYellow;
        for (int n = 0; n < dashes; ++n) expectedYellow.insert(84 - 2 * n);
        expectedYellow.erase(peakRow);
        const std::vector<int> yellow = rowsIn(picture, column, kYellow);
        EXPECT_EQ(std::set<int>(yellow.begin(), yellow.end()), expectedYellow) << "column " << column;
        EXPECT_EQ(rowsIn(picture, column, kRed), std::vector<int>{peakRow}) << "column " << column;
    }
    static void settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }

    SpectrumDisplay display;
    SpectrumDisplay::Map mapOut{};
};

// ---- Spectrum -------------------------------------------------------------------------------

TEST_F(Display, SilenceDrawsNoDashesAndTheMarkerSettlesOnTheBottomRow) {
    feed(10000, 50);
    feed(0, 400);
    const QImage picture = image();
    for (int i = 0; i < kChannels; ++i) {
        EXPECT_TRUE(rowsIn(picture, i, kYellow).empty()) << i;
        EXPECT_EQ(rowsIn(picture, i, kRed), std::vector<int>{84}) << i;
    }
}

TEST_F(Display, FullEnergyDrawsThirtyTwoDashesEveryOtherRowFromTheBottom) {
    feed(16384, 1);
    const QImage picture = image();
    for (int i = 0; i < kChannels; ++i) expectColumnShows(picture, i, 32);
}

TEST_F(Display, EnergyAboveFullScaleIsHeldAtThirtyTwoDashes) {
    feed(1.0e9, 1);
    EXPECT_EQ(display.bar(0), 256.0f);
    expectColumnShows(image(), 7, 32);
}

TEST_F(Display, ABarOfHeightHShowsHOverEightRoundedUpDashes) {
    for (const double energy : {1.0, 100.0, 256.0, 1000.0, 4096.0}) {
        feed(energy, 1);
        const double bar = 2 * std::sqrt(energy);
        expectColumnShows(image(), 4, int(std::ceil(bar / 8)));
    }
}

TEST_F(Display, AConstantEnergyBringsThePeakToTwiceItsSquareRoot) {
    const double energy = 900;
    const double target = 2 * std::sqrt(energy);
    double expected = 0;
    for (int n = 0; n < 400; ++n) {
        feed(energy, 1);
        expected = 0.95 * expected + 0.05 * target;
        ASSERT_NEAR(display.peak(0), expected, 1e-3) << "update " << n;
    }
    EXPECT_NEAR(display.peak(0), target, 1e-3);
    EXPECT_EQ(rowsIn(image(), 0, kRed), std::vector<int>{SpectrumDisplay::peakRow(display.peak(0))});
}

TEST_F(Display, FullEnergyLiftsTheMarkerToTheTopOfTheBars) {
    feed(16384, 600);
    EXPECT_NEAR(display.peak(3), 256.0, 1e-2);
    EXPECT_LE(SpectrumDisplay::peakRow(display.peak(3)), 22);
}

TEST_F(Display, NegativeOrUndefinedValuesReadAsSilence) {
    feed(-4.0, 1);
    EXPECT_EQ(display.bar(2), 0.0f);
    feed(std::numeric_limits<double>::quiet_NaN(), 1);
    EXPECT_EQ(display.bar(2), 0.0f);
    EXPECT_FALSE(std::isnan(display.peak(2)));
}

TEST_F(Display, EveryUpdateHandsTheDisplaysMapToTheEngine) {
    SpectrumDisplay::Map reversed;
    for (int i = 0; i < kChannels; ++i) reversed[std::size_t(i)] = kChannels - 1 - i;
    display.setMap(reversed);
    mapOut.fill(-1);
    feed(0, 1);
    EXPECT_EQ(mapOut, reversed);
}

// ---- Map mode -------------------------------------------------------------------------------

TEST_F(Display, MapModeDrawsOneMarkPerColumnAtItsEntryWithTheSelectedOneRed) {
    SpectrumDisplay::Map map;
    for (int i = 0; i < kChannels; ++i) map[std::size_t(i)] = (i * 7) % kChannels;
    display.setMap(map);
    display.setMapMode(true);
    feed(16384, 5); // the spectrum does not show through
    const QImage picture = image();
    for (int i = 0; i < kChannels; ++i) {
        const std::vector<int> row{86 - 4 * map[std::size_t(i)]};
        EXPECT_EQ(rowsIn(picture, i, i == display.selectedColumn() ? kRed : kYellow), row) << i;
        EXPECT_TRUE(rowsIn(picture, i, i == display.selectedColumn() ? kYellow : kRed).empty()) << i;
    }
}

TEST_F(Display, PressingAndDraggingSetsTheEntryOfThePressedColumn) {
    display.setMapMode(true);
    QSignalSpy edited(&display, &SpectrumDisplay::mapEdited);
    const int x = columnLeft(6) + 2;
    QTest::mousePress(&display, Qt::LeftButton, {}, QPoint(x, 50));
    EXPECT_EQ(display.selectedColumn(), 6);
    QTest::mouseMove(&display, QPoint(x, 86 - 4 * 11));
    QTest::mouseRelease(&display, Qt::LeftButton, {}, QPoint(x, 86 - 4 * 11));
    EXPECT_EQ(display.map()[6], 11);
    EXPECT_EQ(edited.count(), 1);
    EXPECT_EQ(rowsIn(image(), 6, kRed), std::vector<int>{86 - 4 * 11});
}

TEST_F(Display, DragsBeyondTheTopAndBottomHoldTheEntryWithinTheChannels) {
    display.setMapMode(true);
    QTest::mousePress(&display, Qt::LeftButton, {}, QPoint(columnLeft(3), 40));
    QTest::mouseMove(&display, QPoint(columnLeft(3), -300));
    EXPECT_EQ(display.map()[3], kChannels - 1);
    QTest::mouseMove(&display, QPoint(columnLeft(3), 500));
    EXPECT_EQ(display.map()[3], 0);
    QTest::mouseRelease(&display, Qt::LeftButton, {}, QPoint(columnLeft(3), 500));
}

TEST_F(Display, ClicksBesideTheColumnsSelectTheNearestOne) {
    display.setMapMode(true);
    QTest::mouseClick(&display, Qt::LeftButton, {}, QPoint(1, 40));
    EXPECT_EQ(display.selectedColumn(), 0);
    QTest::mouseClick(&display, Qt::LeftButton, {}, QPoint(display.width() - 2, 40));
    EXPECT_EQ(display.selectedColumn(), kChannels - 1);
    QTest::mousePress(&display, Qt::LeftButton, {}, QPoint(display.width() - 2, 40));
    QTest::mouseMove(&display, QPoint(display.width() + 50, 86 - 4 * 2));
    QTest::mouseRelease(&display, Qt::LeftButton, {}, QPoint(display.width() + 50, 86 - 4 * 2));
    EXPECT_EQ(display.map()[kChannels - 1], 2);
}

TEST_F(Display, TheMouseDoesNothingInSpectrumMode) {
    const SpectrumDisplay::Map before = display.map();
    QTest::mousePress(&display, Qt::LeftButton, {}, QPoint(columnLeft(9), 40));
    QTest::mouseMove(&display, QPoint(columnLeft(9), 10));
    QTest::mouseRelease(&display, Qt::LeftButton, {}, QPoint(columnLeft(9), 10));
    EXPECT_EQ(display.map(), before);
    EXPECT_EQ(display.selectedColumn(), 0);
}

TEST_F(Display, SetMapBringsEntriesWithinTheChannels) {
    SpectrumDisplay::Map wild;
    wild.fill(40);
    wild[0] = -3;
    display.setMap(wild);
    EXPECT_EQ(display.map()[0], 0);
    EXPECT_EQ(display.map()[1], kChannels - 1);
}

// ---- Repainting -----------------------------------------------------------------------------

TEST_F(Display, AnUpdateThatChangesNothingVisiblePaintsNothing) {
    feed(900, 500); // settled: the peak no longer crosses a row
    settle();
    PaintCounter counter(&display);
    feed(900, 1);
    settle();
    EXPECT_EQ(counter.count(), 0);
}

TEST_F(Display, AnUpdateRepaintsOnlyTheColumnsThatChanged) {
    feed(0, 1);
    settle();
    PaintCounter counter(&display);
    SpectrumDisplay::Values values{};
    values[5] = 2500;
    display.updateSpectrum(values, mapOut);
    settle();
    EXPECT_EQ(counter.count(), 1);
    EXPECT_EQ(counter.region().boundingRect(), QRect(columnLeft(5), 0, 6, display.height()));
}

TEST_F(Display, TheSpectrumDoesNotRepaintTheMap) {
    display.setMapMode(true);
    settle();
    PaintCounter counter(&display);
    feed(16384, 3);
    settle();
    EXPECT_EQ(counter.count(), 0);
    display.setMapMode(true);
    settle();
    EXPECT_EQ(counter.count(), 0);
}

} // namespace
