#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include "framework/dialog_items.h"
#include "framework/window_progress.h"
#include "gui/gui_test_environment.h"

namespace qm {
namespace {

ProgressSettings barWithMessage(double delay)
{
    ProgressSettings s;
    s.options = progressShowsMessage | progressShowsBar | progressShowsCount;
    s.title = "Opening ...";
    s.message = "File 'harbour.qmp'";
    s.maximum = 100;
    s.count = -1;
    s.delaySeconds = delay;
    return s;
}

TEST(WindowProgress, TheBarFollowsValuesAndAdvances)
{
    WindowProgress progress;
    progress.open(barWithMessage(0.0));
    ProgressWindow* window = progress.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Opening ...");
    EXPECT_EQ(window->messageText(), "File 'harbour.qmp'");
    EXPECT_EQ(window->countText(), "     ");
    EXPECT_TRUE(progress.update(std::nullopt, 40));
    EXPECT_TRUE(progress.update(std::nullopt, -5));
    EXPECT_EQ(window->barPosition(), 45);
    EXPECT_TRUE(progress.update(std::nullopt, 0)); // leaves the bar
    EXPECT_EQ(window->barPosition(), 45);
    EXPECT_TRUE(progress.update("Copying", 250, 3));
    EXPECT_EQ(window->barPosition(), 100);
    EXPECT_EQ(window->messageText(), "Copying");
    EXPECT_EQ(window->countText(), "3");
    progress.close();
    EXPECT_EQ(progress.window(), nullptr);
}

TEST(WindowProgress, CancelIsSeenAtTheNextUpdate)
{
    WindowProgress progress;
    progress.open(barWithMessage(0.0));
    test::clickItem(progress.window(), 2);
    EXPECT_TRUE(progress.window()->isVisible()); // stays until the work closes it
    EXPECT_FALSE(progress.update(std::nullopt, 10));
    EXPECT_EQ(progress.step(std::nullopt, 20), -128);
}

TEST(WindowProgress, WorkHalfDoneWhenTheDelayEndsIsNeverShown)
{
    WindowProgress late;
    late.open(barWithMessage(0.05));
    EXPECT_FALSE(late.window()->isVisible());
    late.update(std::nullopt, 60);
    QTest::qWait(120);
    late.update(std::nullopt, 70);
    EXPECT_FALSE(late.window()->isVisible());

    WindowProgress early;
    early.open(barWithMessage(0.05));
    early.update(std::nullopt, 10);
    QTest::qWait(120);
    early.update(std::nullopt, 20);
    EXPECT_TRUE(early.window()->isVisible());
}

TEST(WindowProgress, NoOptionsMakeNoWindow)
{
    WindowProgress progress;
    ProgressSettings none;
    none.options = 0;
    progress.open(none);
    EXPECT_EQ(progress.window(), nullptr);
    EXPECT_TRUE(progress.update("x", 50));
}

} // namespace
} // namespace qm
