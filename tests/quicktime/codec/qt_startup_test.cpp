#include "quicktime/base/errors.h"
#include "quicktime/codec/qt_startup.h"

#include <gtest/gtest.h>

using namespace qm;

namespace {

class FakePlatform : public QuickTimePlatform {
public:
    OSErr initResult = 0, moviesResult = 0;
    OSErr versionResult = 0, vrResult = 0;
    std::int32_t version = 0x07000000, vr = 1;
    int inits = 0, terms = 0, enters = 0, exits = 0;

    OSErr initialize() override
    {
        ++inits;
        return initResult;
    }
    void terminate() override { ++terms; }
    OSErr enterMovies() override
    {
        ++enters;
        return moviesResult;
    }
    void exitMovies() override { ++exits; }
    OSErr attribute(OSType selector, std::int32_t& response) override
    {
        if (selector == fourCC("qtim")) {
            response = version;
            return versionResult;
        }
        if (selector == fourCC("qtvr")) {
            response = vr;
            return vrResult;
        }
        return err::gestaltUndefSelectorErr;
    }
    std::string failureDetail() const override { return "because"; }
};

} // namespace

TEST(QuickTimeStartup, EachFailingCheckGivesItsCodeAndStopsWhatItStarted)
{
    {
        FakePlatform f;
        QuickTimeConnection c(f);
        const QuickTimeStartup r = startQuickTime(c);
        EXPECT_EQ(r.error, 0);
        EXPECT_TRUE(c.isInitialized());
        EXPECT_TRUE(c.inMovies());
        stopQuickTime(c);
        EXPECT_EQ(f.exits, 1);
        EXPECT_EQ(f.terms, 1);
        EXPECT_FALSE(c.isInitialized());
    }
    {
        FakePlatform f;
        f.initResult = err::quickTimeNotFound;
        QuickTimeConnection c(f);
        const QuickTimeStartup r = startQuickTime(c);
        EXPECT_EQ(r.error, err::quickTimeStartFailed);
        EXPECT_EQ(r.detail, "because");
        EXPECT_EQ(f.enters, 0);
        EXPECT_FALSE(c.isInitialized());
    }
    {
        FakePlatform f;
        f.moviesResult = -108;
        QuickTimeConnection c(f);
        EXPECT_EQ(startQuickTime(c).error, 135);
        EXPECT_EQ(f.terms, 1);
        EXPECT_FALSE(c.isInitialized());
    }
    {
        FakePlatform f;
        f.version = 0x02FFFFFF;
        QuickTimeConnection c(f);
        EXPECT_EQ(startQuickTime(c).error, 130);
        EXPECT_EQ(f.exits, 1);
        EXPECT_EQ(f.terms, 1);
        f.version = 0x03000000; // exactly 3.0 is enough
        EXPECT_EQ(startQuickTime(c).error, 0);
        f.versionResult = err::gestaltUndefSelectorErr; // a failed query counts as version 0
        QuickTimeConnection c2(f);
        EXPECT_EQ(startQuickTime(c2).error, 130);
    }
    {
        FakePlatform f;
        f.vr = 2; // the query succeeds but bit 0 is clear
        QuickTimeConnection c(f);
        EXPECT_EQ(startQuickTime(c).error, err::notQuickTimeVR2);
        EXPECT_FALSE(c.isInitialized());
        EXPECT_FALSE(c.inMovies());
        f.vr = 1;
        f.vrResult = err::gestaltUndefSelectorErr;
        EXPECT_EQ(startQuickTime(c).error, 134);
    }
}

TEST(QuickTimeConnection, IsReferenceCountedAndRefusesWorkWhileStopped)
{
    FakePlatform f;
    QuickTimeConnection c(f);
    std::int32_t answer = 5;
    EXPECT_EQ(c.attribute(fourCC("qtim"), answer), err::quickTimeNotInitialized);
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(c.enterMovies(), err::quickTimeNotInitialized);

    ASSERT_EQ(c.initialize(), 0);
    ASSERT_EQ(c.initialize(), 0);
    EXPECT_EQ(f.inits, 1);
    c.terminate();
    EXPECT_TRUE(c.isInitialized());
    EXPECT_EQ(f.terms, 0);
    c.terminate();
    EXPECT_FALSE(c.isInitialized());
    EXPECT_EQ(f.terms, 1);
    c.terminate(); // unbalanced: harmless
    EXPECT_EQ(f.terms, 1);

    f.initResult = -1;
    EXPECT_EQ(c.initialize(), -1);
    EXPECT_EQ(c.initCount(), 0);
    f.initResult = 0;
    EXPECT_EQ(c.initialize(), 0); // a failed start can be retried
    EXPECT_EQ(c.initCount(), 1);
}

TEST(QuickTimeStartup, TheInstalledFfmpegHasEverythingTheProgramNeeds)
{
    FfmpegQuickTimePlatform platform;
    QuickTimeConnection c(platform);
    const QuickTimeStartup r = startQuickTime(c);
    EXPECT_EQ(r.error, 0) << r.detail;
    std::int32_t version = 0;
    EXPECT_EQ(c.attribute(fourCC("qtim"), version), 0);
    EXPECT_EQ(version, kQuickTimeLayerVersion);
    EXPECT_EQ(c.attribute(fourCC("zzzz"), version), err::gestaltUndefSelectorErr);
    stopQuickTime(c);
}
