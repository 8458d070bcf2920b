// The design table and the problem line's wording, without widgets.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ui/form1_layout.h"
#include "ui/status_line.h"

using namespace ravelin;

TEST(Form1Layout, TabIndexesRunFrom0To32InTableOrderWithUniqueNames) {
    const auto controls = form1Controls();
    ASSERT_EQ(controls.size(), 33u);
    std::set<std::string_view> names;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(controls[i].tab, static_cast<int>(i)) << controls[i].name;
        names.insert(controls[i].name);
    }
    EXPECT_EQ(names.size(), 33u);
}

TEST(Form1Layout, TwipsRoundToTheNearestPixel) {
    EXPECT_EQ(twipsToPixels(kForm1WidthTwips), 452);
    EXPECT_EQ(twipsToPixels(kForm1HeightTwips), 344);
    EXPECT_EQ(twipsToPixels(270), 18);
    EXPECT_EQ(twipsToPixels(1695), 113);
    EXPECT_EQ(twipsToPixels(1575), 105);
    EXPECT_EQ(twipsToPixels(7), 0);
    EXPECT_EQ(twipsToPixels(8), 1);  // half a pixel rounds up
    EXPECT_LE(twipsToPixels(kForm1HeightTwips) + kStatusLineHeight, 368);
    EXPECT_LE(kStatusLineHeight, 24);
}

TEST(Form1Layout, EveryControlLiesInsideTheDesignedArea) {
    for (const auto& c : form1Controls()) {
        EXPECT_GE(c.left, 0) << c.name;
        EXPECT_LE(c.left + c.width, kForm1WidthTwips) << c.name;
        EXPECT_LE(c.top + c.height, kForm1HeightTwips) << c.name;
    }
}

TEST(Form1Layout, BoxesAndChecksNameTheirControls) {
    EXPECT_EQ(controlName(Box::Text1), "Text1");
    EXPECT_EQ(controlName(Box::Text11), "Text11");
    EXPECT_EQ(controlName(Check::Check4), "Check4");
    for (int b = 0; b <= static_cast<int>(Box::Text11); ++b)
        ASSERT_NE(findControl(controlName(static_cast<Box>(b))), nullptr);
    EXPECT_TRUE(findControl("Check4")->checked);
    EXPECT_EQ(findControl("Text7")->text, "");
    EXPECT_EQ(findControl("Label3")->text, "しきい値　80～20");
    EXPECT_EQ(findControl("Text11")->text, "μSVHData_nnnntthh.csv");
}

TEST(StatusLine, EmptyWhenAllIsWell) { EXPECT_EQ(statusLine({}).text(), ""); }

TEST(StatusLine, MostSeriousFirstThenTheCountOfOthers) {
    ProblemSet problems;
    problems[ProblemKey::NoAudioOutput] = Problem{ProblemKey::NoAudioOutput, {}, {}, {}};
    EXPECT_EQ(statusLine(problems).text(), problemSentenceJa(problems[ProblemKey::NoAudioOutput]));

    problems[settingProblem(Setting::Threshold)] = Problem{settingProblem(Setting::Threshold), "abc", {}, {}};
    EXPECT_EQ(statusLine(problems).text(), problemSentenceJa(problems[settingProblem(Setting::Threshold)]) + "（他1件）");

    problems[ProblemKey::CaptureNoInput] = Problem{ProblemKey::CaptureNoInput, {}, "no input", {}};
    problems[ProblemKey::UnwrittenRecords] = Problem{ProblemKey::UnwrittenRecords, {}, "2", "Permission denied"};
    const StatusLine line = statusLine(problems);
    EXPECT_EQ(line.sentence, problemSentenceJa(problems[ProblemKey::UnwrittenRecords]));
    EXPECT_EQ(line.more, "（他3件）");

    const std::string details = statusLineDetails(problems);
    EXPECT_LT(details.find("CSV"), details.find("音声入力"));
    EXPECT_LT(details.find("音声入力"), details.find("しきい値"));
    EXPECT_LT(details.find("しきい値"), details.find("音声出力"));
}
