// The counting plateau's picture as drawing operations.
#include <gtest/gtest.h>

#include <algorithm>

#include "drawing/plateau_plot.h"

using namespace ravelin;

namespace {

CalibrationResult curve() {
    CalibrationResult r;
    r.plateau = {{121, 1, 6, 900}, {112, 4, 15, 402}, {100, 7, 27, 400}, {80, 12, 47, 398}, {60, 17, 67, 120}};
    r.flatFrom = 1;
    r.flatTo = 3;
    r.chosen = 2;
    r.plateauFound = true;
    return r;
}

std::vector<PlotLine> coloured(const std::vector<PlotOp>& ops, const Rgb& colour) {
    std::vector<PlotLine> out;
    for (const auto& op : ops)
        if (const auto* l = std::get_if<PlotLine>(&op); l && l->colour == colour) out.push_back(*l);
    return out;
}

bool hasText(const std::vector<PlotOp>& ops, const std::string& text) {
    return std::any_of(ops.begin(), ops.end(), [&](const PlotOp& op) {
        const auto* t = std::get_if<PlotText>(&op);
        return t && t->text == text;
    });
}

}  // namespace

TEST(PlateauPlot, TheCurveTheShadedStretchAndTheProposalMarked) {
    const CalibrationResult r = curve();
    const auto ops = plateauPlot(r);
    const PlateauFrame f;

    const auto segments = coloured(ops, kPlateauCurve);
    ASSERT_EQ(segments.size(), 4u) << "one segment between neighbouring levels";
    EXPECT_DOUBLE_EQ(segments.front().x1, f.left);
    EXPECT_DOUBLE_EQ(segments.back().x2, f.right);
    EXPECT_DOUBLE_EQ(segments[1].y2, plateauY(r, 400));
    EXPECT_DOUBLE_EQ(plateauY(r, 0), f.bottom);
    EXPECT_DOUBLE_EQ(plateauY(r, 800), f.top) << "the axis runs to twice the proposal's count";
    EXPECT_DOUBLE_EQ(segments.front().y1, f.top) << "the noise's count leaves the top, clipped to it";

    const auto shade = coloured(ops, kPlateauShade);
    ASSERT_FALSE(shade.empty());
    EXPECT_NEAR(shade.front().x1, plateauX(r, 1), 1e-9);
    EXPECT_LE(shade.back().x1, plateauX(r, 3));
    EXPECT_GT(shade.back().x1, plateauX(r, 3) - 1);

    const auto marks = coloured(ops, kPlateauChosen);
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_DOUBLE_EQ(marks[0].x1, plateauX(r, 2));
    EXPECT_DOUBLE_EQ(marks[0].x2, plateauX(r, 2));
    EXPECT_DOUBLE_EQ(marks[1].y1, plateauY(r, 400));
    for (const std::string t : {"121", "100", "60", "400", "0", "800", "しきい値（右ほど深い）", "計数"})
        EXPECT_TRUE(hasText(ops, t)) << t;
}

TEST(PlateauPlot, NoShadeWithoutAPlateauAndANoteWithoutLevels) {
    CalibrationResult r = curve();
    r.plateauFound = false;
    EXPECT_TRUE(coloured(plateauPlot(r), kPlateauShade).empty());
    EXPECT_EQ(coloured(plateauPlot(r), kPlateauChosen).size(), 2u);

    const auto empty = plateauPlot(CalibrationResult{});
    EXPECT_TRUE(hasText(empty, "振れが見つかりません"));
    EXPECT_TRUE(coloured(empty, kPlateauCurve).empty());
}
