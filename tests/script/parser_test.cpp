#include <gtest/gtest.h>

#include <string>

#include "NumberText.h"
#include "ScriptParser.h"

namespace {

using script::Step;

// A step in one line: its kind, then only the fields that are set.
std::string shown(const Step& s) {
  static const char* const kinds[] = {"Click",          "Select",
                                      "Type",           "Key",
                                      "Close",          "Open",
                                      "ExpectText",     "ExpectState",
                                      "ExpectBeeps",    "ExpectSent",
                                      "ExpectSentNone", "ExpectPause",
                                      "Wait",           "SimPresent",
                                      "SimSilent",      "SimModbusError",
                                      "SimRegister",    "SimRegisterNone",
                                      "SimReply",       "SimIdentity",
                                      "SimBaud",        "SimClock",
                                      "SimModel",       "SimAmbient",
                                      "SimRates",       "SimPowerCycle",
                                      "SimRegisterOk",  "SimChamber",
                                      "SimPlant",       "SimLoop",
                                      "SimLatency",     "SimLink"};
  std::string t = kinds[static_cast<int>(s.kind)];
  if (!s.name.empty()) t += " " + s.name;
  if (!s.text.empty()) t += " [" + bus::escapeBytes(s.text) + "]";
  if (s.state != script::ControlState::Visible) t += std::string(" ") + script::stateName(s.state);
  if (s.seconds != 0) t += " s=" + bus::plainNumberText(s.seconds);
  if (s.number != 0) t += " n=" + std::to_string(s.number);
  if (s.value != 0) t += " v=" + std::to_string(s.value);
  if (s.count != 0) t += " c=" + std::to_string(s.count);
  for (double d : s.degrees) t += " d=" + bus::plainNumberText(d);
  return t + (s.flag ? " on" : "");
}

TEST(ScriptParser, EveryStepForm) {
  const std::pair<const char*, const char*> cases[] = {
      {"  click   cmdSend  # the assembler", "Click cmdSend"},
      {"type txtOutput \" 1, 2 \"", "Type txtOutput [ 1, 2 ]"},
      {"type txtOutput 1, 2   # two words", "Type txtOutput [1, 2]"},
      {"type txtOutput a#b", "Type txtOutput [a#b]"},
      {"type txtSetPt \"\"", "Type txtSetPt"},
      {R"(type t "\x00A\xff\r\n\t\\\"")", R"(Type t [\x00A\xFF\r\n\t\\\"])"},
      {"type t \"# not a comment\"", "Type t [# not a comment]"},
      {"expect cmdSend hidden", "ExpectState cmdSend hidden"},
      {"open trend", "Open trend"},
      {"click trend.cmdSaveCsv", "Click trend.cmdSaveCsv"},
      {"expect sent \"none\"", "ExpectSent [none]"},
      {"expect sent none", "ExpectSentNone"},
      {"wait .5", "Wait s=0.5"},
      {"wait 86400", "Wait s=86400"},
      {"sim modbus-error 2", "SimModbusError n=2 c=1"},
      {"sim register 100 -40", "SimRegister n=100 v=-40"},
      {"sim register 65535 65535", "SimRegister n=65535 v=65535"},
      {"sim register 100 none", "SimRegisterNone n=100"},
      {"sim register 0 none", "SimRegisterNone"},  // register 0 is one too
      {"sim clock 23:59:59", "SimClock n=86399"},
      {"sim clock 08:05:09", "SimClock n=29109"},
      {"sim model 5690", "SimModel [5690]"},
      {"sim ambient -10.5", "SimAmbient d=-10.5"},
      {"sim rates 3 .5 1000", "SimRates d=3 d=0.5 d=1000"},
      {"sim power-cycle", "SimPowerCycle"},
      {"sim register 100 clear", "SimRegisterOk n=100"},
      {"sim chamber linear", "SimChamber on"},
      {"sim chamber thermal", "SimChamber"},
      {"sim plant 2.5 2500 0 10 .5", "SimPlant d=2.5 d=2500 d=0 d=10 d=0.5"},
      {"sim loop 10 0 2", "SimLoop d=10 d=0 d=2"},
      {"sim latency 12.5", "SimLatency s=0.0125"},
      {"sim link paced", "SimLink on"},
      {"sim link instant", "SimLink"},
  };
  for (const auto& [line, step] : cases) {
    const script::ParsedLine parsed = script::parseLine(line);
    EXPECT_EQ(parsed.error, "") << line;
    EXPECT_EQ(parsed.step ? shown(*parsed.step) : "nothing", step) << line;
  }
  for (const char* nothing : {"", " \t", "# a comment", "  #click x"})
    EXPECT_FALSE(script::parseLine(nothing).step || !script::parseLine(nothing).error.empty());
}

TEST(ScriptParser, BadLinesSayWhatIsWrong) {
  const std::pair<const char*, const char*> cases[] = {
      {"clik cmdSend",
       "unknown step \"clik\" (click, select, type, key, close, open, expect, wait, sim)"},
      {"click", "click needs a control name"},
      {"click trend.", "\"trend.\" is not a control name (NAME, NAME(INDEX) or WINDOW.NAME)"},
      {"click a.b.c", "\"a.b.c\" is not a control name (NAME, NAME(INDEX) or WINDOW.NAME)"},
      {"open", "open needs the name of a window (trend)"},
      {"open trend(1)", "\"trend(1)\" is not a window's name"},
      {"click cmdSend now", "unexpected \"now\" at the end of the step"},
      {"click 9lives", "\"9lives\" is not a control name (NAME, NAME(INDEX) or WINDOW.NAME)"},
      {"select optStep(2",
       "\"optStep(2\" is not a control name (NAME, NAME(INDEX) or WINDOW.NAME)"},
      {"select optStep(x)",
       "\"optStep(x)\" is not a control name (NAME, NAME(INDEX) or WINDOW.NAME)"},
      {"type txtReg", "type needs the text to type (\"\" empties the box)"},
      {"type txtReg \"200", "the closing quote is missing"},
      {"type txtReg \"2\"00", "a blank must follow the closing quote"},
      {"type txtReg \"\\q\"", "unknown escape \\q (use \\n, \\r, \\t, \\\\, \\\" or \\xNN)"},
      {"type txtReg \"\\x4\"", "\\x needs two hexadecimal digits"},
      {"type txtReg \"end\\\"", "the closing quote is missing"},
      {"key txtOutput", "key needs the key's name (Enter)"},
      {"key txtOutput Escape", "unknown key \"Escape\" (Enter)"},
      {"expect", "expect needs a control name, beeps, sent or pause"},
      {"expect cmdSend", "expect cmdSend needs text \"TEXT\" or a state"},
      {"expect cmdSend shown",
       "unknown expectation \"shown\" (text, visible, hidden, enabled, "
       "disabled, selected, unselected)"},
      {"expect txtTemp text", "expect NAME text needs the text (\"\" for an empty one)"},
      {"expect beeps", "expect beeps needs a count"},
      {"expect beeps two", "the count of beeps must be a whole number, not \"two\""},
      {"expect beeps -1", "the count of beeps cannot be negative"},
      {"expect sent R 100", "expect sent needs a \"LINE\" in quotes, or none, not \"R\""},
      {"expect sent", "expect sent needs a \"LINE\" in quotes, or none"},
      {"expect pause", "expect pause needs its length in seconds"},
      {"expect pause -1", "a pause must be a number of seconds such as 2 or 0.5, not \"-1\""},
      {"wait", "wait needs a number of seconds"},
      {"wait 1e3", "wait must be a number of seconds such as 2 or 0.5, not \"1e3\""},
      {"wait .", "wait must be a number of seconds such as 2 or 0.5, not \".\""},
      {"wait 86400.5", "wait is limited to 86400 seconds (a day)"},
      {"sim",
       "sim needs one of absent, present, silent, modbus-error, register, reply, identity, baud, "
       "clock, model, ambient, rates, power-cycle, chamber, plant, loop, latency, link"},
      {"sim gone",
       "unknown sim step \"gone\" (absent, present, silent, modbus-error, register, "
       "reply, identity, baud, clock, model, ambient, rates, power-cycle, chamber, plant, loop, "
       "latency, link)"},
      {"sim chamber", "sim chamber needs thermal or linear"},
      {"sim chamber fast", "sim chamber needs thermal or linear, not \"fast\""},
      {"sim plant 1 2 3 4", "sim plant needs MASS HEATER COOLER LOSS DEAD-TIME"},
      {"sim plant 0 2500 1200 10 5",
       "the thermal mass must lie above 0 and up to 100000 kJ per kelvin"},
      {"sim plant 2.5 2500 1200 10 601", "the dead time must lie from 0 to 600 s"},
      {"sim plant 2.5 2500 -1 10 5", "the cooler power must lie from 0 to 1000000 W"},
      {"sim loop 10 20", "sim loop needs BAND INTEGRAL DERIVATIVE"},
      {"sim loop 0 20 0", "the proportional band must lie above 0 and up to 10000 degrees"},
      {"sim loop 10 20 x", "the derivative time must be a number such as 75 or -10.5, not \"x\""},
      {"sim latency -1", "the latency must lie from 0 to 10000 milliseconds"},
      {"sim link slow", "sim link needs paced or instant, not \"slow\""},
      {"sim silent", "sim silent needs on or off"},
      {"sim silent yes", "sim silent needs on or off, not \"yes\""},
      {"sim modbus-error", "sim modbus-error needs an error code"},
      {"sim modbus-error 0", "the Modbus error code must lie in 1..65535, not 0"},
      {"sim modbus-error 65536", "the Modbus error code must lie in 1..65535, not 65536"},
      {"sim modbus-error 3 0", "the count of transactions must be at least 1"},
      {"sim register 100", "sim register needs a value, none or clear"},
      {"sim model", "sim model needs the converter's model (5630)"},
      {"sim ambient", "sim ambient needs a temperature"},
      {"sim ambient 1e3", "the ambient must be a number such as 75 or -10.5, not \"1e3\""},
      {"sim ambient 3000.5", "the ambient must lie in -1000..3000 degrees"},
      {"sim rates 3 3", "sim rates needs HEAT COOL DRIFT in degrees per second"},
      {"sim rates 3 0 1", "the cool rate must lie above 0 and up to 1000 degrees a second"},
      {"sim register -1 5", "the register must lie in 0..65535, not -1"},
      {"sim register 65536 5", "the register must lie in 0..65535, not 65536"},
      {"sim register 100 70000", "the register's value must lie in -32768..65535, not 70000"},
      {"sim register 100 -32769", "the register's value must lie in -32768..65535, not -32769"},
      {"sim register 100 7.5", "the register's value must be a whole number, not \"7.5\""},
      {"sim reply", "sim reply needs a text"},
      {"sim baud 0", "the baud rate must be positive"},
      {"sim clock", "sim clock needs a time of day HH:MM:SS"},
  };
  for (const auto& [line, error] : cases) {
    const script::ParsedLine parsed = script::parseLine(line);
    EXPECT_FALSE(parsed.step.has_value()) << line;
    EXPECT_EQ(parsed.error, error) << line;
  }
  for (const std::string bad :
       {"24:00:00", "8:05:09", "12:60:00", "12:00:60", "12:00:00x", "1-:00:00"})
    EXPECT_EQ(
        script::parseLine("sim clock " + bad).error,
        "sim clock needs a time of day HH:MM:SS from 00:00:00 to 23:59:59, not \"" + bad + "\"");
}

// Lines as the trace and the report quote them: numbered from 1, comments and blank lines
// skipped, without outer blanks or a Windows line end.
TEST(ScriptParser, LinesKeepTheirNumbersAndLoseTheirOuterBlanks) {
  std::string seen;
  for (const auto& line : script::parseScript("# start\n\t click cmdSend \t\r\n\nbad \nwait 1"))
    seen += std::to_string(line.number) + "[" + line.source + "]";
  EXPECT_EQ(seen, "2[click cmdSend]4[bad]5[wait 1]");
}

}  // namespace
