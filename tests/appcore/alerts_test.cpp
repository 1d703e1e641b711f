#include "appcore/alert_service.h"
#include "appcore/alert_string.h"
#include "appcore/error_table.h"
#include "appcore/headless_alert_presenter.h"
#include "appcore/string_table.h"
#include "quicktime/base/file_checks.h"

#include <gtest/gtest.h>

#include <set>

using namespace qm;

namespace {

struct AlertFixture : ::testing::Test {
    HeadlessAlertPresenter presenter;
    AlertService service{presenter};

    const AlertRequest& last() { return presenter.shown().back(); }
    int answer(int stringId, AlertButton button)
    {
        presenter.queueAnswer(button);
        return service.cautionAlert(stringId);
    }
};

} // namespace

TEST_F(AlertFixture, PressedButtonsMapToOneTwoThreeForTheProgramsQuestions)
{
    // 160: "/OK/&Cancel//": Cancel is the default.
    EXPECT_EQ(answer(alertClearComposedMovie, AlertButton::Cancel), 1);
    EXPECT_EQ(last().buttons, AlertButtonSet::OkCancel);
    EXPECT_EQ(last().defaultIndex, 1);
    EXPECT_EQ(answer(alertClearComposedMovie, AlertButton::Ok), 3);
    // 155: Yes/No.
    EXPECT_EQ(answer(alertRevert, AlertButton::Yes), 1);
    EXPECT_EQ(answer(alertRevert, AlertButton::No), 3);
    EXPECT_EQ(last().buttons, AlertButtonSet::YesNo);
    // 142: Yes/No/Cancel.
    EXPECT_EQ(answer(alertSaveChanges, AlertButton::Yes), 1);
    EXPECT_EQ(answer(alertSaveChanges, AlertButton::Cancel), 2);
    EXPECT_EQ(answer(alertSaveChanges, AlertButton::No), 3);
    EXPECT_EQ(last().buttons, AlertButtonSet::YesNoCancel);
    // 51: OK/Cancel with OK the default.
    EXPECT_EQ(answer(alertOkCancel, AlertButton::Ok), 1);
    EXPECT_EQ(answer(alertOkCancel, AlertButton::Cancel), 2);
}

TEST(AlertString, ButtonListChoosesTheSystemSetByCountAndFirstLetter)
{
    struct Case {
        const char* source;
        AlertButtonSet set;
        int defaultIndex;
    } cases[] = {
        {"/OK//x", AlertButtonSet::Ok, 0},
        {"//no buttons", AlertButtonSet::Ok, 0},
        {"/Retry/Cancel//x", AlertButtonSet::RetryCancel, 0},
        {"/Save/Discard//x", AlertButtonSet::YesNo, 0},
        {"/OK/Cancel//x", AlertButtonSet::OkCancel, 0},
        {"/Abort/Retry/&Ignore//x", AlertButtonSet::AbortRetryIgnore, 2},
        {"/Yes/&No/Cancel//x", AlertButtonSet::YesNoCancel, 1},
        // Four names: three system buttons; a mark on the fourth cannot be honoured.
        {"/Yes/No/Cancel/&More//x", AlertButtonSet::YesNoCancel, 0},
        {"/&OK//x", AlertButtonSet::Ok, 0},
    };
    for (const Case& c : cases) {
        const auto a = AlertString::parse(c.source);
        ASSERT_TRUE(a) << c.source;
        EXPECT_EQ(a->buttonSet(), c.set) << c.source;
        EXPECT_EQ(a->defaultIndex(), c.defaultIndex) << c.source;
        EXPECT_EQ(a->message(), c.source[0] == '/' && c.source[1] == '/' ? "no buttons" : "x");
    }
    const auto marked = AlertString::parse("/OK/&Cancel//a//b");
    ASSERT_TRUE(marked);
    EXPECT_EQ(marked->buttonNames(), (std::vector<std::string>{"OK", "Cancel"}));
    EXPECT_EQ(marked->message(), "a//b");
    EXPECT_FALSE(AlertString::parse("/OK/Cancel no list end"));
}

TEST_F(AlertFixture, AStringWithoutListEndShowsNothingAndYieldsMinusOne)
{
    EXPECT_EQ(service.showAlertString(AlertIcon::Stop, "/OK/text without end"), -1);
    EXPECT_EQ(service.stopAlert(9999), -1);
    EXPECT_TRUE(presenter.shown().empty());
}

TEST(AlertMarkers, FirstOccurrenceOfEachMarkerIsReplacedOnlyInTheTemplate)
{
    const AlertParameters p{"zero", "one", "", "three"};
    EXPECT_EQ(substituteAlertMarkers("^1 ^0 ^0 ^2| ^3", p), "one zero ^0 | three");
    // A parameter holding a marker is inserted as it stands.
    const AlertParameters tricky{"file ^1 name", "X", "", ""};
    EXPECT_EQ(substituteAlertMarkers("'^0' (^1)", tricky), "'file ^1 name' (X)");
    EXPECT_EQ(substituteAlertMarkers("no markers ^", p), "no markers ^");
}

TEST_F(AlertFixture, ParametersAreCutTo255BytesWithoutSplittingACharacter)
{
    const std::string apostrophe = "\xE2\x80\x99";
    std::string longText(254, 'a');
    longText += apostrophe + "tail";
    service.setParameters(longText, std::string(300, 'b'));
    EXPECT_EQ(service.parameters()[0], std::string(254, 'a'));
    EXPECT_EQ(service.parameters()[1].size(), 255u);
    EXPECT_EQ(service.parameters()[2], "");
    service.setParameters("only");
    EXPECT_EQ(service.parameters()[1], ""); // setting replaces all four
}

TEST_F(AlertFixture, ErrorReportsShowMessageAndCodeWithoutBlank)
{
    service.reportError(0);
    service.reportError(-128);
    EXPECT_TRUE(presenter.shown().empty());

    service.reportError(128);
    EXPECT_EQ(last().text, "Operation cancelled by user.(128)");
    EXPECT_EQ(last().stringId, alertError);
    EXPECT_EQ(last().icon, AlertIcon::Stop);
    service.reportError(201);
    EXPECT_EQ(last().text, "One or more nodes are missing information and may need to be removed.(201)");
    service.reportError(-1);
    EXPECT_EQ(last().text, "An error occured: (-1)");
    service.reportError(-2003);
    EXPECT_EQ(last().text, "Can\xE2\x80\x99t find handler.(-2003)");
    // Something other than a file (a folder, a device, a pipe) where a file belongs.
    service.reportError(err::notAFileErr);
    EXPECT_EQ(last().text, "The item is not a file.(-1302)");
}

TEST_F(AlertFixture, ErrorDetailGoesToAlert81ForOneReportOnly)
{
    service.setErrorDetail("atom 'NOLS' at offset 120");
    service.reportError(-43);
    EXPECT_EQ(last().stringId, alertErrorWithDetail);
    EXPECT_EQ(last().text, "File not found.(-43)\n\natom 'NOLS' at offset 120");
    EXPECT_EQ(service.errorDetail(), "");
    service.reportError(-43);
    EXPECT_EQ(last().text, "File not found.(-43)");

    // A silent report also drops the detail, so it cannot surface under a later error.
    service.setErrorDetail("stale");
    service.reportError(-128);
    service.reportError(-39);
    EXPECT_EQ(last().text, "Premature end-of-file.(-39)");
}

TEST_F(AlertFixture, StartupFailuresUseAlert50WithTheNumber)
{
    service.reportStartupFailure(0);
    EXPECT_TRUE(presenter.shown().empty());
    service.reportStartupFailure(135);
    EXPECT_EQ(last().stringId, alertOk);
    EXPECT_EQ(last().text, "An error occured! (135)");
    service.reportStartupFailure(134, std::string(1000, 'd'));
    EXPECT_EQ(last().text.rfind("An error occured! (134)\n\nddd", 0), 0u);
    EXPECT_EQ(last().text.size(), 255u);
}

TEST_F(AlertFixture, LowSpaceAlertTextIsExact)
{
    service.setParameters("30", "/scratch");
    service.cautionAlert(alertLowScratchSpace);
    EXPECT_EQ(last().text, "Less than 30 MB are available on the scratch \ndisk '/scratch'.  You should try to free "
                           "some space\non this volume or switch to another scratch disk \nvia the 'Preferences' "
                           "dialog.");
    EXPECT_EQ(last().icon, AlertIcon::Caution);
}

TEST(ErrorTable, HoldsFiftyThreeDistinctCodesWithStringIdsInOrder)
{
    std::set<OSErr> codes;
    int expectedId = 201;
    for (const auto& e : kErrorTable) {
        if (expectedId == 250)
            ++expectedId;
        EXPECT_EQ(e.stringId, expectedId++);
        EXPECT_TRUE(codes.insert(e.code).second) << e.code;
        EXPECT_EQ(loadString(e.stringId), e.message);
    }
    EXPECT_EQ(expectedId, 255);
    EXPECT_FALSE(loadString(250));
    EXPECT_EQ(errorMessage(-8962), "Codec connot perform requested operation.");
    EXPECT_EQ(errorMessage(134), "Version 2.0 (or later) of QuickTime VR is required.");
    EXPECT_EQ(errorMessage(-2004), "Can\xE2\x80\x99t open handler.");
    EXPECT_EQ(errorMessage(12345), "An error occured: ");
}
