#include <QComboBox>
#include <QSignalSpy>
#include <QWidget>
#include <gtest/gtest.h>

#include "framework/dialog_items.h"
#include "framework/event_codes.h"
#include "framework/window_registry.h"

namespace qm {
namespace {

struct RecordingWindow : EventHandler {
    explicit RecordingWindow(bool refuseClose = false) : refuse(refuseClose) {}
    int handleEvent(std::int16_t code) override
    {
        received.push_back(code);
        if (code == evClose && refuse) {
            WindowRegistry::instance().cancelClose();
            return 0;
        }
        return 1;
    }
    bool refuse;
    std::vector<std::int16_t> received;
};

class RegistryTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (auto* w : {&a, &b, &c, &d})
            registry.remove(w);
    }
    WindowRegistry& registry = WindowRegistry::instance();
    RecordingWindow a, b{true}, c, d;
};

TEST_F(RegistryTest, ClosedWindowsSlotIsTakenByTheNextWindow)
{
    const auto slotA = registry.add(&a);
    const auto slotB = registry.add(&b);
    registry.add(&c);
    registry.remove(&b);
    EXPECT_EQ(registry.slot(slotB), nullptr);
    EXPECT_EQ(registry.add(&d), slotB);
    EXPECT_EQ(registry.slot(slotA), &a);
}

TEST_F(RegistryTest, CloseAllStopsAtTheFirstWindowThatRefuses)
{
    registry.add(&a);
    registry.add(&b);
    registry.add(&c);
    EXPECT_FALSE(registry.closeAll());
    EXPECT_EQ(a.received, std::vector<std::int16_t>{evClose});
    EXPECT_EQ(b.received, std::vector<std::int16_t>{evClose});
    EXPECT_TRUE(c.received.empty());
}

TEST_F(RegistryTest, NestedCloseAllReturnsAtOnceAndBroadcastReachesEveryWindow)
{
    struct Nesting : EventHandler {
        int handleEvent(std::int16_t code) override
        {
            if (code == evClose)
                nested = WindowRegistry::instance().closeAll();
            return 1;
        }
        bool nested = false;
    } nesting;
    registry.add(&nesting);
    registry.add(&a);
    EXPECT_TRUE(registry.closeAll());
    EXPECT_TRUE(nesting.nested);
    EXPECT_EQ(a.received, std::vector<std::int16_t>{evClose});
    registry.broadcast(evIdle);
    EXPECT_EQ(a.received.back(), evIdle);
    registry.remove(&nesting);
}

TEST_F(RegistryTest, MenuUpdateWithoutAWindowResetsTheMenus)
{
    int resets = 0;
    registry.setMenuResetHook([&] { ++resets; });
    EXPECT_EQ(registry.send(nullptr, evMenuUpdate), 1);
    EXPECT_EQ(registry.send(nullptr, evIdle), 1);
    EXPECT_EQ(resets, 1);
    registry.setMenuResetHook({});
}

TEST(DialogItems, ListValuesAreOneBasedAndInsertionFollowsTheEntryNumber)
{
    QWidget dialog;
    auto* list = new QComboBox(&dialog);
    items::setItemId(list, 409);
    list->addItems({"a", "b", "c"});
    list->setCurrentIndex(-1);
    EXPECT_EQ(items::controlValue(&dialog, 409), 0);
    items::setControlValue(&dialog, 409, 2);
    EXPECT_EQ(list->currentText(), "b");
    items::setControlValue(&dialog, 409, 0);
    EXPECT_EQ(list->currentIndex(), -1);

    items::insertListItem(list, 7, "appended");
    EXPECT_EQ(list->itemText(3), "appended");
    items::insertListItem(list, 0, "top");
    EXPECT_EQ(list->itemText(0), "top");
    items::insertListItem(list, 2, "third");
    EXPECT_EQ(list->itemText(2), "third");

    EXPECT_TRUE(items::selectListItem(list, "c"));
    EXPECT_FALSE(items::selectListItem(list, "C"));
    EXPECT_EQ(list->currentText(), "c");
}

TEST(DialogItems, SettingTheCurrentValueSendsNothing)
{
    QWidget dialog;
    auto* list = new QComboBox(&dialog);
    items::setItemId(list, 1);
    list->addItems({"a", "b"});
    QSignalSpy spy(list, &QComboBox::currentIndexChanged);
    items::setControlValue(&dialog, 1, 1);
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(items::controlValue(&dialog, 999), 0); // no such item
    items::setControlValue(&dialog, 0, 2);           // item 0 does nothing
    EXPECT_EQ(spy.count(), 0);
}

} // namespace
} // namespace qm
