#include "ui/SoundCardDialogView.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

namespace {

class SoundCardView : public ::testing::Test {
protected:
    template <typename W>
    W* child(const char* name) {
        W* w = view.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QListWidget* inputs() { return child<QListWidget>("inputList"); }
    QListWidget* outputs() { return child<QListWidget>("outputList"); }
    QSlider* buffers() { return child<QSlider>("bufferSlider"); }
    QCheckBox* sixteenBit() { return child<QCheckBox>("sixteenBit"); }
    QLabel* latency() { return child<QLabel>("latency"); }

    AudioDeviceCatalog catalog = AudioDeviceCatalog::internalClockOnly();
    SoundCardDialog model{catalog};
    SoundCardDialogView view{model};
};

TEST_F(SoundCardView, EveryShowingStartsFromTheLastChoiceOrTheDefault) {
    model.slider = 80;
    model.sixteenBit = true;
    model.outputSelection = 0;
    view.show();
    EXPECT_EQ(inputs()->currentRow(), 0);
    EXPECT_EQ(outputs()->currentRow(), 1); // the only device there is
    EXPECT_EQ(buffers()->value(), SoundCardDialog::kDefaultBuffers);
    EXPECT_FALSE(sixteenBit()->isChecked());
    view.hide();
    model.remember({"None", "None", 80, true});
    view.show();
    EXPECT_EQ(outputs()->currentRow(), 0);
    EXPECT_EQ(buffers()->value(), 80);
    EXPECT_TRUE(sixteenBit()->isChecked());
    EXPECT_EQ(view.windowTitle(), QStringLiteral("Sound Card Device Select"));
}

TEST_F(SoundCardView, TheListsShowNoneAndThenTheCatalogsDevices) {
    view.show();
    ASSERT_EQ(outputs()->count(), int(catalog.outputs().size()) + 1);
    EXPECT_EQ(outputs()->item(0)->text(), QStringLiteral("None"));
    for (std::size_t k = 0; k < catalog.outputs().size(); ++k)
        EXPECT_EQ(outputs()->item(int(k) + 1)->text().toStdString(), catalog.outputs()[k].name);
    EXPECT_EQ(inputs()->item(0)->text(), QStringLiteral("None"));
}

TEST_F(SoundCardView, OkStoresTheChoicesInTheModel) {
    view.show();
    outputs()->setCurrentRow(1);
    buffers()->setValue(12);
    sixteenBit()->setChecked(true);
    QTest::mouseClick(child<QPushButton>("ok"), Qt::LeftButton);

    EXPECT_EQ(view.result(), QDialog::Accepted);
    EXPECT_EQ(model.results().outputChoice, 1);
    EXPECT_EQ(model.results().inputChoice, 0);
    EXPECT_EQ(model.results().bufferSlider, 12);
    EXPECT_TRUE(model.results().sixteenBit);
}

TEST_F(SoundCardView, EscapeKeepsTheResultsOfTheLastOk) {
    view.show();
    buffers()->setValue(20);
    QTest::mouseClick(child<QPushButton>("ok"), Qt::LeftButton);
    const SoundCardChoice kept = model.results();

    view.show();
    outputs()->setCurrentRow(1);
    buffers()->setValue(90);
    sixteenBit()->setChecked(true);
    QTest::keyClick(&view, Qt::Key_Escape);

    EXPECT_EQ(view.result(), QDialog::Rejected);
    EXPECT_EQ(model.results().outputChoice, kept.outputChoice);
    EXPECT_EQ(model.results().bufferSlider, kept.bufferSlider);
    EXPECT_EQ(model.results().sixteenBit, kept.sixteenBit);
}

TEST_F(SoundCardView, TheLiveLineShowsTheDelayOfTheBuffersTheDeviceWillUse) {
    view.show();
    EXPECT_EQ(latency()->text(), QStringLiteral("36 buffers: 209 ms"));
    for (const int position : {0, 1, 7, 50, 51, 100}) {
        buffers()->setValue(position);
        const int count = std::clamp(position, 1, 50);
        const long ms = std::lround(count * 64 / 11025.0 * 1000);
        const QString expected = QStringLiteral("%1 %2: %3 ms")
                                     .arg(count)
                                     .arg(count == 1 ? QStringLiteral("buffer") : QStringLiteral("buffers"))
                                     .arg(ms);
        EXPECT_EQ(latency()->text(), expected) << position;
    }
}

TEST_F(SoundCardView, TheDialogShowsItsLabels) {
    QStringList texts;
    for (QLabel* label : view.findChildren<QLabel*>()) texts << label->text();
    for (const char* text :
         {"Input Device(s)", "Output Device(s)",
          "Select the input and output sound devices from those available", "Number of Buffers", "Min", "Max",
          "(don't check this box if you", "have a soundblaster card)"})
        EXPECT_TRUE(texts.contains(QString::fromLatin1(text))) << text;
    EXPECT_EQ(sixteenBit()->text(), QStringLiteral("16 bit input/output"));
    EXPECT_EQ(buffers()->minimum(), 0);
    EXPECT_EQ(buffers()->maximum(), SoundCardDialog::kSliderMax);
}

} // namespace
