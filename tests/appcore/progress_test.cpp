#include "appcore/movie_progress.h"
#include "appcore/progress.h"
#include "appcore/terminal_progress.h"
#include "quicktime/base/errors.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>

using namespace qm;

namespace {

class CountingProgress : public Progress {
public:
    int changes = 0, polls = 0, opens = 0, closes = 0;
    bool cancelOnPoll = false;

protected:
    void opened() override { ++opens; }
    void changed() override { ++changes; }
    void poll() override
    {
        ++polls;
        if (cancelOnPoll)
            cancel();
    }
    void closed() override { ++closes; }
};

ProgressSettings barAndCount(std::int32_t maximum, std::int32_t count = 0)
{
    ProgressSettings s;
    s.options = progressShowsMessage | progressShowsBar | progressShowsCount;
    s.title = "Composing";
    s.message = "start";
    s.maximum = maximum;
    s.count = count;
    return s;
}

std::string readAll(std::FILE* f)
{
    std::rewind(f);
    std::string s;
    char buf[256];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        s.append(buf, n);
    return s;
}

} // namespace

TEST(Progress, ValuesAdvanceClampAndLeaveTheBar)
{
    CountingProgress p;
    p.open(barAndCount(100));
    EXPECT_EQ(p.countText(), "     ");
    EXPECT_TRUE(p.update(std::nullopt, 40));
    EXPECT_EQ(p.percent(), 40);
    EXPECT_TRUE(p.update(std::nullopt, -5)); // advance by 5
    EXPECT_EQ(p.percent(), 45);
    EXPECT_EQ(p.current(), 45);
    p.update(std::nullopt, 0); // no value: the bar stays
    EXPECT_EQ(p.percent(), 45);
    p.update("next", 250, 3);
    EXPECT_EQ(p.percent(), 100);
    EXPECT_EQ(p.message(), "next");
    EXPECT_EQ(p.countText(), "3");
    p.update(std::nullopt, 1, -1);
    EXPECT_EQ(p.countText(), "     ");
    EXPECT_EQ(p.polls, 5);
    p.close();
    p.close();
    EXPECT_EQ(p.closes, 1);
}

TEST(Progress, OddMaximumsAndOptionsStaySafe)
{
    CountingProgress p;
    p.open(barAndCount(0));
    EXPECT_TRUE(p.update(std::nullopt, 50));
    EXPECT_EQ(p.percent(), 0);
    p.open(barAndCount(1000));
    p.update(std::nullopt, INT32_MIN); // advance by more than an int holds
    EXPECT_EQ(p.percent(), 100);

    ProgressSettings bare; // no message, bar or count: nothing is shown, yet the work goes on
    bare.options = 0;
    bare.message = "hidden";
    p.open(bare);
    EXPECT_EQ(p.message(), "");
    EXPECT_TRUE(p.update("ignored", 10, 2));
    EXPECT_EQ(p.message(), "");
    EXPECT_EQ(p.countText(), "");
    EXPECT_EQ(p.percent(), 0);
}

TEST(Progress, CancelIsSeenAtTheNextUpdateAsMinus128)
{
    CountingProgress p;
    p.open(barAndCount(10));
    EXPECT_EQ(p.step(std::nullopt, 1), 0);
    p.cancelOnPoll = true;
    EXPECT_EQ(p.step(std::nullopt, 2), err::userCanceledErr);
    EXPECT_FALSE(p.update(std::nullopt, 3));
    p.cancelOnPoll = false;
    EXPECT_TRUE(p.cancelled()); // stays cancelled until opened again
    p.open(barAndCount(10));
    EXPECT_FALSE(p.cancelled());
    NullProgress silent;
    EXPECT_TRUE(silent.update("x", 5));
}

TEST(Progress, DelayedProgressStaysHiddenWhenPastHalfway)
{
    CountingProgress p;
    ProgressSettings s = barAndCount(100);
    s.delaySeconds = 1.5;
    p.open(s);
    p.update(std::nullopt, 49);
    EXPECT_TRUE(p.visibleAfterDelay());
    p.update(std::nullopt, 60);
    EXPECT_FALSE(p.visibleAfterDelay());
    s.options = progressShowsMessage;
    p.open(s);
    EXPECT_TRUE(p.visibleAfterDelay());
}

TEST(MovieProgress, FlattenReportsThroughTheProgressWithTheGlobalTexts)
{
    CountingProgress p;
    {
        MovieProgressTextsScope texts("Opening ...", "File 'tour.qmp'");
        EXPECT_EQ(movieProgressProc(p, movieProgressOpen, 2, 0), 0); // not a flatten: ignored
        EXPECT_FALSE(p.isOpen());
        EXPECT_EQ(movieProgressProc(p, movieProgressOpen, movieProgressOpFlatten, 0), 0);
        EXPECT_TRUE(p.isOpen());
        EXPECT_EQ(p.title(), "Opening ...");
        EXPECT_EQ(p.message(), "File 'tour.qmp'");
        EXPECT_EQ(movieProgressProc(p, movieProgressUpdatePercent, movieProgressOpFlatten, 0x8000), 0);
        EXPECT_EQ(p.percent(), 50);
        EXPECT_EQ(movieProgressProc(p, movieProgressUpdatePercent, movieProgressOpFlatten, -0x10000), 0);
        EXPECT_EQ(p.percent(), 50); // a negative fraction does not advance
        p.cancelOnPoll = true;
        EXPECT_EQ(movieProgressProc(p, movieProgressUpdatePercent, movieProgressOpFlatten, 0xC000),
                  err::userCanceledErr);
        EXPECT_EQ(movieProgressProc(p, movieProgressClose, movieProgressOpFlatten, 0), 0);
        EXPECT_FALSE(p.isOpen());
    }
    EXPECT_EQ(movieProgressTexts().title, "");
    EXPECT_EQ(movieProgressTexts().message, "");
}

TEST(TerminalProgress, PrintsTenthsOffTerminalAndCancelsOnInterrupt)
{
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    struct sigaction before {};
    sigaction(SIGINT, nullptr, &before);
    {
        TerminalProgress p(out);
        p.open(barAndCount(200, 2));
        for (int v = 1; v <= 200; ++v)
            ASSERT_TRUE(p.update(std::nullopt, v));
        std::raise(SIGINT);
        EXPECT_EQ(p.step(std::nullopt, -1), err::userCanceledErr);
        p.close();
    }
    struct sigaction after {};
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);

    const std::string text = readAll(out);
    std::fclose(out);
    EXPECT_NE(text.find("Composing: [" + std::string(30, '.') + "] 0%  start  (2)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("] 50%"), std::string::npos);
    EXPECT_NE(text.find("[##############################] 100%"), std::string::npos);
    int lines = 0;
    for (char c : text)
        lines += c == '\n';
    EXPECT_EQ(lines, 11); // the opening line and one per tenth
}
