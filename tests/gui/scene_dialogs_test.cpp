#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

#include "framework/dialog_items.h"
#include "gui/gui_test_environment.h"
#include "scene/annotations_dialog.h"
#include "scene/attribute_selector.h"
#include "scene/custom_orientation_dialog.h"
#include "scene/custom_size_dialog.h"
#include "quicktime/raster/raster_pattern.h"
#include "scene/imaging_properties_dialog.h"
#include "scene/playback_options_dialog.h"

namespace qm {
namespace {

using items::item;

TEST(PlaybackOptionsDialog, HintsAreExactlyTheTickedBits)
{
    PlaybackOptionsDialog both(0x10000004);
    EXPECT_TRUE(item<QCheckBox>(&both, 574)->isChecked());
    EXPECT_TRUE(item<QCheckBox>(&both, 575)->isChecked());
    item<QCheckBox>(&both, 574)->click();
    item<QCheckBox>(&both, 575)->click();
    EXPECT_EQ(both.hints(), 0u);

    // Other bits are dropped on confirmation, so the dialog differs from the stored hints even
    // before anything is clicked.
    PlaybackOptionsDialog other(0x10000004 | 0x100);
    EXPECT_EQ(other.hints(), 0x10000004u);
    test::onNextModal([](QDialog* d) { test::clickItem(d, 1); });
    EXPECT_TRUE(other.run());
}

TEST(PlaybackOptionsDialog, OkIsEnabledOnlyWhileTheHintsDiffer)
{
    PlaybackOptionsDialog dialog(0x4);
    test::onNextModal([](QDialog* d) {
        auto* ok = item<QPushButton>(d, 1);
        EXPECT_FALSE(ok->isEnabled());
        item<QCheckBox>(d, 574)->click();
        EXPECT_TRUE(ok->isEnabled());
        item<QCheckBox>(d, 574)->click();
        EXPECT_FALSE(ok->isEnabled());
        test::clickItem(d, 2);
    });
    EXPECT_FALSE(dialog.run());
}

TEST(ImagingPropertiesDialog, SliderPositionsAreTheValuesLessOne)
{
    ImagingPropertiesDialog dialog({3, 3, 1, 3});
    EXPECT_EQ(item<QSlider>(&dialog, 572)->value(), 2);
    EXPECT_EQ(item<QSlider>(&dialog, 571)->value(), 0);
    item<QSlider>(&dialog, 572)->setValue(1);
    EXPECT_EQ(dialog.values(), (ImagingPropertiesDialog::Values{2, 3, 1, 3}));
    item<QSlider>(&dialog, 570)->setValue(0);
    EXPECT_EQ(dialog.values()[3], 1);
}

TEST(AnnotationsDialog, TextsAreCutTo255Characters)
{
    AnnotationsDialog dialog({QString(300, 'n'), QString(), QString(300, 'd')});
    EXPECT_EQ(dialog.texts().name.size(), 255);
    EXPECT_EQ(dialog.texts().description.size(), 255);
    item<QLineEdit>(&dialog, 568)->setText("(c) 2024");
    EXPECT_EQ(dialog.texts().copyright, "(c) 2024");
}

TEST(AttributeSelectors, SelectionIsTheEntryNumberOrZero)
{
    std::unique_ptr<AttributeSelector> none(AttributeSelector::patternSelector(0));
    EXPECT_EQ(item<QListWidget>(none.get(), 588)->count(), kFillPatternCount);
    EXPECT_EQ(item<QListWidget>(none.get(), 588)->item(37)->text(), "38");
    EXPECT_EQ(none->selection(), 0);

    std::unique_ptr<AttributeSelector> pen(AttributeSelector::penSizeSelector(3));
    EXPECT_EQ(item<QListWidget>(pen.get(), 587)->count(), 6);
    EXPECT_EQ(pen->selection(), 3);
    item<QListWidget>(pen.get(), 587)->item(5)->setSelected(true);
    EXPECT_EQ(pen->selection(), 6);

    std::unique_ptr<AttributeSelector> tooLarge(AttributeSelector::penSizeSelector(7));
    EXPECT_EQ(tooLarge->selection(), 0);
}

TEST(CustomDialogs, OkNeedsAChangedValidValue)
{
    CustomSizeDialog size(QStringLiteral("Custom Master Size"), 320, 240);
    auto* ok = size.okButton();
    test::onNextModal([&](QDialog* d) {
        EXPECT_FALSE(ok->isEnabled());
        item<QLineEdit>(d, 590)->setText("333");
        EXPECT_TRUE(ok->isEnabled());
        item<QLineEdit>(d, 591)->setText("0");
        EXPECT_FALSE(ok->isEnabled()); // a zero height is no size
        item<QLineEdit>(d, 591)->setText("222");
        test::clickItem(d, 1);
    });
    ASSERT_TRUE(size.run());
    EXPECT_EQ(size.width(), 333);
    EXPECT_EQ(size.height(), 222);

    CustomOrientationDialog initial(-1.0f);
    EXPECT_EQ(item<QLineEdit>(&initial, 589)->text(), "0.0");
    EXPECT_EQ(item<QLineEdit>(&initial, 589)->maxLength(), 6);
    CustomOrientationDialog angle(30.5f);
    EXPECT_EQ(item<QLineEdit>(&angle, 589)->text(), "30.5");
    test::onNextModal([](QDialog* d) {
        EXPECT_FALSE(item<QPushButton>(d, 1)->isEnabled());
        item<QLineEdit>(d, 589)->setText("-12.5");
        test::clickItem(d, 1);
    });
    ASSERT_TRUE(angle.run());
    EXPECT_FLOAT_EQ(angle.angle(), -12.5f);
}

} // namespace
} // namespace qm
