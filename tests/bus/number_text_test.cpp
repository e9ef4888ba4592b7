#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include "NumberText.h"

namespace {

struct SingleRow {
  float value;
  const char* text;
};

TEST(NumberText, SingleValues) {
  const SingleRow rows[] = {
      {0, " 0"},           {1, " 1"},          {75, " 75"},
      {-40, "-40"},        {72.5f, " 72.5"},   {0.5f, " .5"},
      {-0.5f, "-.5"},      {3.5f, " 3.5"},     {12.5f, " 12.5"},
      {1000, " 1000"},     {4000, " 4000"},    {255, " 255"},
      {-101, "-101"},      {-5, "-5"},         {1234567, " 1234567"},
      {12345678, " 1.234568E+07"},             {0.00001f, " 1E-05"},
      {0.0001f, " .0001"}, {0.1f, " .1"},      {150.5f, " 150.5"},
      {-0.0f, " 0"},       {3e38f, " 3E+38"},  {1.0f / 3, " .3333333"},
  };
  for (const auto& row : rows) EXPECT_EQ(bus::numberText(row.value), row.text) << row.value;
}

TEST(NumberText, DoubleValues) {
  const std::pair<double, const char*> rows[] = {
      {-101, "-101"},
      {0.5, " .5"},
      {123456789012345.0, " 123456789012345"},
      {1234567890123456.0, " 1.23456789012346E+15"},
      {1.0 / 3, " .333333333333333"},
      {5270, " 5270"},
  };
  for (const auto& [value, text] : rows) EXPECT_EQ(bus::numberText(value), text) << value;
}

TEST(NumberText, IntegersAndPlainText) {
  EXPECT_EQ(bus::numberText(0), " 0");
  EXPECT_EQ(bus::numberText(2), " 2");
  EXPECT_EQ(bus::numberText(-1), "-1");
  EXPECT_EQ(bus::numberText(-32768L), "-32768");
  const std::pair<double, const char*> plain[] = {
      {0.5, "0.5"}, {-0.5, "-0.5"}, {32, "32"}, {9600, "9600"}, {0, "0"}, {-3, "-3"}, {1200, "1200"},
  };
  for (const auto& [value, text] : plain) EXPECT_EQ(bus::plainNumberText(value), text) << value;
}

TEST(NumericValue, ReadsLikeTheConsoleExpects) {
  const std::pair<const char*, double> rows[] = {
      {"", 0},           {"abc", 0},          {"123", 123},       {"123\n", 123},
      {" 12 3", 123},    {"\t-4\n0", -40},    {"12abc", 12},      {"2.5", 2.5},
      {"-1", -1},        {"+7", 7},           {".5", 0.5},        {"1e3", 1000},
      {"1E3", 1000},     {"1D3", 1000},       {"1e", 1},          {"1e+2x", 100},
      {"2.5.3", 2.5},    {"&H10", 16},        {"&hff", 255},      {"&O17", 15},
      {"&o8", 0},        {"&H", 0},           {"&X12", 0},        {"-", 0},
      {".", 0},          {"OFF", 0},          {" OFF", 0},        {"5270.5", 5270.5},
      {"1234\r\n", 1234}, {"0101", 101},      {"1e-400", 0},      {"-100\n", -100},
  };
  for (const auto& [text, value] : rows) EXPECT_DOUBLE_EQ(bus::numericValue(text), value) << text;
}

TEST(NumericValue, OverflowGivesInfinityNotACrash) {
  EXPECT_EQ(bus::numericValue("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(bus::numericValue("-1e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(bus::numericValue("NaN"), 0);
  EXPECT_EQ(bus::numericValue(std::string(5000, '9')), std::numeric_limits<double>::infinity());
}

TEST(WholeNumber, HalvesGoToEven) {
  const std::pair<double, int> rows[] = {
      {2.5, 2},   {3.5, 4},       {-2.5, -2},     {-3.5, -4},   {0.5, 0},
      {1.5, 2},   {5270.5, 5270}, {5271.5, 5272}, {2.4, 2},     {2.6, 3},
      {-0.4, 0},  {32767, 32767}, {-32768, -32768}, {32767.4, 32767}, {-32768.5, -32768},
  };
  for (const auto& [value, whole] : rows) {
    auto got = bus::toInt16(value);
    ASSERT_TRUE(got.has_value()) << value;
    EXPECT_EQ(*got, whole) << value;
  }
  for (double bad : {32767.5, 32768.0, -32768.6, 70000.0, 1e39,
                     std::numeric_limits<double>::infinity(), std::nan("")})
    EXPECT_FALSE(bus::toInt16(bad).has_value()) << bad;
}

TEST(SingleFit, RefusesWhatAFloatCannotHold) {
  EXPECT_TRUE(bus::toSingle(3e38).has_value());
  EXPECT_FALSE(bus::toSingle(1e39).has_value());
  EXPECT_FALSE(bus::toSingle(-1e39).has_value());
  EXPECT_FALSE(bus::toSingle(bus::numericValue("1e400")).has_value());
  EXPECT_EQ(*bus::toSingle(72.5), 72.5f);
}

TEST(CommandLines, RegisterReadAndWrite) {
  EXPECT_EQ(bus::registerReadLine(100, 1), "R  100, 1");
  EXPECT_EQ(bus::registerReadLine(0, 1), "R  0, 1");
  EXPECT_EQ(bus::registerReadLine(1916, 3), "R  1916, 3");
  EXPECT_EQ(bus::registerWriteLine(4000, 3), "W  4000, 3");
  EXPECT_EQ(bus::registerWriteLine(300, -40), "W  300,-40");
  EXPECT_EQ(bus::registerWriteLine(300, 0.5f), "W  300, .5");
  EXPECT_EQ(bus::registerWriteLine(4000, 2.5f), "W  4000, 2.5");
}

TEST(Trimming, TrailingBlanksAndLineFeed) {
  EXPECT_EQ(bus::trimTrailingBlanks("123\n   "), "123\n");
  EXPECT_EQ(bus::trimTrailingBlanks("  12 "), "  12");
  EXPECT_EQ(bus::trimTrailingBlanks("     "), "");
  EXPECT_EQ(bus::trimTrailingBlanks("a\t"), "a\t");
  EXPECT_EQ(bus::cutAtLineFeed("123\n"), "123");
  EXPECT_EQ(bus::cutAtLineFeed("1234\r\n"), "1234\r");
  EXPECT_EQ(bus::cutAtLineFeed("\n"), "");
  EXPECT_EQ(bus::cutAtLineFeed("a\nb\n"), "a");
  EXPECT_EQ(bus::cutAtLineFeed("  no lf"), "  no lf");
}

TEST(Escaping, BytesBecomeReadable) {
  EXPECT_EQ(bus::escapeBytes(std::string("a\n\r\t\\\"\0\xFF", 8)), "a\\n\\r\\t\\\\\\\"\\x00\\xFF");
}

// The wire must never carry a decimal comma, whatever locale the console runs under.
TEST(Locale, GermanLocaleChangesNothing) {
  const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
  ASSERT_NE(german, nullptr) << "locale de_DE.UTF-8 missing: run scripts/setup-deps";
  EXPECT_EQ(bus::numberText(72.5f), " 72.5");
  EXPECT_EQ(bus::plainNumberText(0.5), "0.5");
  EXPECT_DOUBLE_EQ(bus::numericValue("72.5"), 72.5);
  EXPECT_DOUBLE_EQ(bus::numericValue("72,5"), 72);
  EXPECT_EQ(bus::registerWriteLine(300, 72.5f), "W  300, 72.5");
  std::setlocale(LC_ALL, "C");
}

}  // namespace
