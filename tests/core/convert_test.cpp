#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/convert.h"

using namespace ravelin;

TEST(NumberGrammar, RejectsWhatIsNotADecimalNumber) {
    for (const char* bad : {"", " ", "abc", "12abc", "1e3", "1,5", "1.2.3", ".", "-", "+", "--1", "1 2", "0x10", "nan",
                            "inf", "１２a", "1\xef\xbc\x8e\xef\xbc\x8e"})
        EXPECT_FALSE(normaliseNumberText(bad)) << '"' << bad << '"';
}

TEST(NumberGrammar, AcceptsBlanksSignsStopsAndFullWidthForms) {
    EXPECT_EQ(*normaliseNumberText(" 12 "), "12");
    EXPECT_EQ(*normaliseNumberText("\t+3.5"), "3.5");
    EXPECT_EQ(*normaliseNumberText("-.5"), "-.5");
    EXPECT_EQ(*normaliseNumberText("7."), "7.");
    // Full-width digits, sign, full stop and the ideographic space of a Japanese input method.
    EXPECT_EQ(*normaliseNumberText("\xef\xbc\x91\xef\xbc\x92\xef\xbc\x90"), "120");
    EXPECT_EQ(*normaliseNumberText("\xe3\x80\x80\xef\xbc\x8d\xef\xbc\x90\xef\xbc\x8e\xef\xbc\x95"), "-0.5");
    EXPECT_EQ(*normaliseNumberText("\xef\xbc\x8b" "2"), "2");
}

TEST(NumberGrammar, KanaModeStopAndMinusStandForTheirCharactersOnly) {
    const std::string stop = "\xe3\x80\x82", halfStop = "\xef\xbd\xa1";                      // 。 ｡
    const std::string bar = "\xe3\x83\xbc", halfBar = "\xef\xbd\xb0", minus = "\xe2\x88\x92";  // ー ｰ −
    EXPECT_EQ(*normaliseNumberText("0" + stop + "27"), "0.27");
    EXPECT_EQ(*normaliseNumberText("\xef\xbc\x92" + halfStop + "\xef\xbc\x97"), "2.7");
    EXPECT_EQ(*normaliseNumberText(bar + "5"), "-5");
    EXPECT_EQ(*normaliseNumberText(" " + halfBar + "1" + stop + "5 "), "-1.5");
    EXPECT_EQ(*normaliseNumberText(minus + stop + "5"), "-.5");
    EXPECT_EQ(*toInt16(bar + "10" + stop + "5"), -10);
    EXPECT_EQ(*toSingle("2" + stop + "7"), 2.7f);
    // Only where a stop or a sign may stand, and only as one of them.
    // 、 ・ – and 「 stay refused.
    const std::vector<std::string> bad{stop, bar, minus, "1" + stop + "2" + stop, "1" + bar, bar + bar + "1",
                                       bar + "-1", "1" + halfStop + "2.3", "5" + minus + "3", "\xe3\x80\x81" "5",
                                       "\xe3\x83\xbb" "5", "\xe2\x80\x93" "5", "\xe3\x80\x8c" "1"};
    for (const std::string& text : bad)
        EXPECT_FALSE(normaliseNumberText(text)) << '"' << text << '"';
}

TEST(Int16Conversion, RoundsHalvesToEvenOnTheDecimalDigits) {
    EXPECT_EQ(*toInt16("10.5"), 10);
    EXPECT_EQ(*toInt16("11.5"), 12);
    EXPECT_EQ(*toInt16("10.50000000000000000001"), 11);  // a double would round this to 10.5
    EXPECT_EQ(*toInt16("-2.5"), -2);
    EXPECT_EQ(*toInt16("-3.5"), -4);
    EXPECT_EQ(*toInt16("0.4999"), 0);
    EXPECT_EQ(*toInt16("007"), 7);
    EXPECT_EQ(*toInt16(".5"), 0);
}

TEST(Int16Conversion, RangeIsCheckedAfterRounding) {
    EXPECT_EQ(*toInt16("32767"), 32767);
    EXPECT_EQ(*toInt16("32767.4"), 32767);
    EXPECT_FALSE(toInt16("32767.5"));
    EXPECT_EQ(*toInt16("-32768.5"), -32768);
    EXPECT_FALSE(toInt16("-32768.6"));
    EXPECT_FALSE(toInt16("99999999999999999999"));
    EXPECT_FALSE(toInt16("1e3"));
}

TEST(FloatConversion, NearestValueAndFiniteOnly) {
    EXPECT_EQ(*toSingle("0.27"), 0.27f);
    EXPECT_EQ(*toSingle("\xef\xbc\x92\xef\xbc\x8e\xef\xbc\x97"), 2.7f);
    EXPECT_EQ(*toDouble("2.7"), 2.7);
    EXPECT_FALSE(toSingle("1" + std::string(39, '0')));  // beyond the single range
    EXPECT_TRUE(toDouble("1" + std::string(39, '0')));
    EXPECT_FALSE(toDouble("1" + std::string(400, '0')));
    EXPECT_FALSE(toSingle("abc"));
    // Too small for the type is zero, with its sign, not an error.
    const std::string tiny = "0." + std::string(60, '0') + "1";
    ASSERT_TRUE(toSingle(tiny));
    EXPECT_EQ(*toSingle(tiny), 0.0f);
    EXPECT_TRUE(std::signbit(*toSingle(" -" + tiny)));
    ASSERT_TRUE(toDouble("0." + std::string(400, '0') + "1"));
    EXPECT_EQ(*toDouble("0." + std::string(400, '0') + "1"), 0.0);
    EXPECT_GT(*toSingle("0." + std::string(40, '0') + "1"), 0.0f);  // a subnormal stays
}

TEST(NumberTexts, SinglesUseSevenSignificantDigitsWithoutExponent) {
    EXPECT_EQ(singleText(0.25f), "0.25");
    EXPECT_EQ(singleText(0.138f), "0.138");
    EXPECT_EQ(singleText(0.0f), "0");
    EXPECT_EQ(singleText(-0.0f), "0");
    EXPECT_EQ(singleText(1.5f), "1.5");
    EXPECT_EQ(singleText(100.0f), "100");
    EXPECT_EQ(singleText(12345678.0f), "12345680");
    EXPECT_EQ(singleText(0.0001f), "0.0001");
    EXPECT_EQ(singleText(-1.25f), "-1.25");
    EXPECT_EQ(singleText(1.0f / 3.0f), "0.3333333");
    EXPECT_EQ(integerText(-42), "-42");
}

TEST(NumberTexts, PrintFormHasSignBlankAndTrailingBlank) {
    EXPECT_EQ(printNumberText(60), " 60 ");
    EXPECT_EQ(printNumberText(0.8), " 0.8 ");
    EXPECT_EQ(printNumberText(4.0 - 0.8 - 0.8), " 2.4 ");  // 2.4000000000000004 does not show
    EXPECT_EQ(printNumberText(-1.5), "-1.5 ");
    EXPECT_EQ(printNumberText(0), " 0 ");
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(4.5), 4);
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(3.857), 4);
}
