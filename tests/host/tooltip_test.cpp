#include "host/core/tooltip.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

double number_value = 0;
const char* text_value = "";

double GAUGE_CALL number_arg_callback(uint32_t, uint32_t, uint32_t, uint32_t,
                                      uint32_t, uint32_t) {
  return number_value;
}
const char* GAUGE_CALL text_arg_callback(uint32_t, uint32_t, uint32_t, uint32_t,
                                         uint32_t, uint32_t) {
  return text_value;
}

struct FormatCase {
  const char* name;
  const char* text;
  double number;
  const char* insert;
  const char* expected;
};

class TooltipFormat : public testing::TestWithParam<FormatCase> {};

// Argument 1 is a number, 2 and 3 are texts.
TEST_P(TooltipFormat, FillsInserts) {
  const FormatCase& c = GetParam();
  number_value = c.number;
  text_value = c.insert;
  TooltipArg args[3] = {};
  args[0].number = number_arg_callback;
  args[1].text = text_arg_callback;
  args[2].text = text_arg_callback;
  EXPECT_EQ(format_tooltip(c.text, args, 3), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Inserts, TooltipFormat,
    testing::ValuesIn(std::vector<FormatCase>{
        {"ZeroFilledFrequency", "COM1 - %1!07.3f! MHz", 118.025, "",
         "COM1 - 118.025 MHz"},
        {"ZeroFilledShortNumber", "%1!07.2f! kHz", 350.5, "", "0350.50 kHz"},
        {"ZeroFillAfterSign", "%1!07.2f!", -3.5, "", "-003.50"},
        {"SpacePadded", "(%1!4.1f! volts)", 5.04, "", "( 5.0 volts)"},
        {"WiderThanWidth", "%1!4.1f!", 28.36, "", "28.4"},
        {"TinyNegativeIsPlainZero", "%1!4.1f!", -0.01, "", " 0.0"},
        {"IntegerTruncatesTowardZero", "%1!d!", -3.9, "", "-3"},
        {"IntegerPositive", "%1!d! liters", 87.99, "", "87 liters"},
        {"IntegerSaturates", "%1!d!", 1e12, "", "2147483647"},
        {"NanPrintsZero", "%1!d!/%1!07.3f!", NAN, "", "0/000.000"},
        {"InfinityPrintsZero", "%1!4.1f!", INFINITY, "", " 0.0"},
        {"TextInsert", "Battery switch (%2!s!)", 0, "on",
         "Battery switch (on)"},
        {"LaterArgumentOnly", "Tone switch (%3!s!)", 0, "off",
         "Tone switch (off)"},
        {"BareInsertIsText", "[%2]", 0, "x", "[x]"},
        {"DegreeSignToUtf8", "Flaps position (%1!d!\xB0)", 10, "",
         "Flaps position (10\xC2\xB0)"},
        {"InsertTextToUtf8", "%2!s!", 0, "\x80\xE9", "\xE2\x82\xAC\xC3\xA9"},
        {"PercentEscape", "100%% %1!d!", 1, "", "100% 1"},
        {"MissingArgumentKeptAsWritten", "a %4!s! b", 0, "", "a %4!s! b"},
        {"UnknownConversionKept", "%1!q!", 0, "", "%1!q!"},
        {"UnclosedInsertKept", "x %1!07.3f", 0, "", "x %1!07.3f"},
        {"TrailingPercent", "50%", 0, "", "50%"},
    }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TooltipFormatArgs, NoArgumentRecordsKeepsInserts) {
  EXPECT_EQ(format_tooltip("Fuel (%1!d! pz)", nullptr, 0), "Fuel (%1!d! pz)");
  EXPECT_EQ(format_tooltip(nullptr, nullptr, 0), "");
}

TEST(TooltipFormatArgs, NullTextFromCallbackIsEmpty) {
  text_value = nullptr;
  TooltipArg arg = {};
  arg.text = text_arg_callback;
  EXPECT_EQ(format_tooltip("(%1!s!)", &arg, 1), "()");
}

TEST(HelpText, NamesTheIdentifier) {
  EXPECT_EQ(help_text(12290), "help 12290 (0x3002)");
  EXPECT_EQ(help_text(43910), "help 43910 (0xAB86)");
}

}  // namespace
