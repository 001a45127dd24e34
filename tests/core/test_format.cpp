#include "core/Format.h"

#include <gtest/gtest.h>

using orvex::FormatNumber;

struct FormatCase {
    double value;
    const char* pattern;
    const char* expected;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.value << " with \"" << c.pattern << "\"";
}

class FormatPatterns : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatPatterns, FormatsAsThePanelShowsIt) {
    const auto& c = GetParam();
    EXPECT_EQ(FormatNumber(c.value, c.pattern), c.expected)
        << "value " << c.value << " pattern \"" << c.pattern << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    DisplayPatterns, FormatPatterns,
    ::testing::Values(
        // Block time and grouping.
        FormatCase{1234.4, "#,##0 uS", "1,234 uS"}, FormatCase{0.0, "#,##0 uS", "0 uS"},
        FormatCase{1234567.0, "#,##0 uS", "1,234,567 uS"},
        FormatCase{999.5, "#,##0 uS", "1,000 uS"}, FormatCase{12.0, "#,##0 uS", "12 uS"},
        // Decibels with a sign.
        FormatCase{-3.456, "#0.00 dB", "-3.46 dB"}, FormatCase{0.0, "#0.00 dB", "0.00 dB"},
        FormatCase{12.005, "#0.00 dB", "12.01 dB"}, FormatCase{-0.001, "#0.00 dB", "0.00 dB"},
        // Spectrum axis labels: the literal space stays where the pattern has it.
        FormatCase{1234.0, "# ###", "1 234"}, FormatCase{7100.4, "# ###", "7 100"},
        FormatCase{1234567.0, "# ###", "1234 567"}, FormatCase{5.0, "# ###", " 5"},
        FormatCase{12.34, "# ###.0", " 12.3"}, FormatCase{2500.25, "# ###.0", "2 500.3"},
        // Frequencies in MHz with grouped decimals and a pattern for negatives.
        FormatCase{14.2345678, "#0.000 000;(#0.000 000)", "14.234 568"},
        FormatCase{-0.5, "#0.000 000;(#0.000 000)", "(0.500 000)"},
        FormatCase{-12.0, "#0.000 000", "-12.000 000"},
        FormatCase{7.1, "#0.##0 ##0 0 MHz", "7.100 000 0 MHz"},
        FormatCase{14.2345678, "#0.##0 ##0 0 MHz", "14.234 567 8 MHz"},
        FormatCase{0.45, "#0.##0 ##0 0 MHz", "0.450 000 0 MHz"},
        // The nine-digit readout.
        FormatCase{7100000.0, "000000000", "007100000"}, FormatCase{0.0, "000000000", "000000000"},
        // Bare digit patterns; "#" shows nothing for zero.
        FormatCase{5.0, "#", "5"}, FormatCase{12.6, "#", "13"}, FormatCase{0.0, "#", ""},
        FormatCase{-18.0, "#", "-18"}, FormatCase{6.0, "+#", "+6"}, FormatCase{30.0, "+#", "+30"},
        // Hertz with grouping.
        FormatCase{1000.0, "#,###0 Hz", "1,000 Hz"}, FormatCase{950.0, "#,###0 Hz", "950 Hz"},
        FormatCase{12345.0, "#,###0 Hz", "12,345 Hz"},
        FormatCase{7100000.0, "#,0 Hz", "7,100,000 Hz"}, FormatCase{5.0, "#,0 Hz", "5 Hz"},
        // Time base, kilohertz, per cent, plain decimals.
        FormatCase{2.5, "00.00 mS/div", "02.50 mS/div"},
        FormatCase{123.456, "00.00 mS/div", "123.46 mS/div"},
        FormatCase{12.04, "0.0 kHz", "12.0 kHz"}, FormatCase{0.05, "0.0 kHz", "0.1 kHz"},
        FormatCase{0.890625, "#0%", "89%"}, FormatCase{0.9140625, "#0%", "91%"},
        FormatCase{0.0, "#0%", "0%"}, FormatCase{3.14159, "0.0", "3.1"},
        FormatCase{-0.04, "0.0", "0.0"}, FormatCase{-0.06, "0.0", "-0.1"},
        // Optional decimals drop trailing zeros and a bare point.
        FormatCase{1.5, "#0.##", "1.5"}, FormatCase{1.0, "#0.##", "1"},
        FormatCase{1.257, "#0.##", "1.26"}));

TEST(Format, PatternWithoutDigitsIsLiteral) {
    EXPECT_EQ(FormatNumber(42.0, "SubBand"), "SubBand");
    EXPECT_EQ(FormatNumber(42.0, ""), "");
}

TEST(Format, NonFiniteValuesAreNamed) {
    EXPECT_EQ(FormatNumber(1.0 / 0.0, "#0.00"), "Inf");
    EXPECT_EQ(FormatNumber(-1.0 / 0.0, "#0.00"), "-Inf");
    EXPECT_EQ(FormatNumber(0.0 / 0.0, "#0.00"), "NaN");
}

TEST(Format, CarryRipplesIntoANewDigit) {
    EXPECT_EQ(FormatNumber(9.9996, "#0.000"), "10.000");
    EXPECT_EQ(FormatNumber(99999.5, "#,##0"), "100,000");
}
