#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QuotedText.h"
#include "ScriptParser.h"

namespace script {
// How a step shows in a failed comparison.
void PrintTo(const Step& s, std::ostream* os) {
  *os << "{kind " << static_cast<int>(s.kind) << ", name " << s.name << ", text \"" << s.text
      << "\", state " << script::stateName(s.state) << ", seconds " << s.seconds << ", number "
      << s.number << ", value " << s.value << ", count " << s.count << ", flag " << s.flag << "}";
}
}  // namespace script

namespace {

using script::ControlState;
using script::Step;
using script::StepKind;

// Builds the expected step field by field.
struct make {
  explicit make(StepKind kind) { step.kind = kind; }
  make& name(const char* v) {
    step.name = v;
    return *this;
  }
  make& text(const char* v) {
    step.text = v;
    return *this;
  }
  make& state(ControlState v) {
    step.state = v;
    return *this;
  }
  make& seconds(double v) {
    step.seconds = v;
    return *this;
  }
  make& number(long v) {
    step.number = v;
    return *this;
  }
  make& value(long v) {
    step.value = v;
    return *this;
  }
  make& count(long v) {
    step.count = v;
    return *this;
  }
  make& flag(bool v) {
    step.flag = v;
    return *this;
  }
  operator Step() const { return step; }
  Step step;
};

struct Good {
  const char* line;
  Step step;
};

TEST(ScriptParser, EveryStepForm) {
  using enum StepKind;
  const Good cases[] = {
      {"click cmdSend", make(Click).name("cmdSend")},
      {"  click   cmdSend  ", make(Click).name("cmdSend")},
      {"click cmdSend # the assembler", make(Click).name("cmdSend")},
      {"select optStep(2)", make(Select).name("optStep(2)")},
      {"select optHex", make(Select).name("optHex")},
      {"type txtReg 200", make(Type).name("txtReg").text("200")},
      {"type txtOutput \" 1, 2 \"", make(Type).name("txtOutput").text(" 1, 2 ")},
      {"type txtOutput 1, 2   ", make(Type).name("txtOutput").text("1, 2")},
      {"type txtOutput 1,2 # two words", make(Type).name("txtOutput").text("1,2")},
      {"type txtOutput a#b", make(Type).name("txtOutput").text("a#b")},
      {"type txtSetPt \"\"", make(Type).name("txtSetPt").text("")},
      {"key txtOutput Enter", make(Key).name("txtOutput").text("Enter")},
      {"close", make(Close)},
      {"expect txtResults text \"Read Response = 2\"",
       make(ExpectText).name("txtResults").text("Read Response = 2")},
      {"expect txtTemp text 75", make(ExpectText).name("txtTemp").text("75")},
      {"expect txtError text \"\"", make(ExpectText).name("txtError").text("")},
      {"expect cmdSend visible", make(ExpectState).name("cmdSend")},
      {"expect cmdSend hidden", make(ExpectState).name("cmdSend").state(ControlState::Hidden)},
      {"expect cmdSend enabled", make(ExpectState).name("cmdSend").state(ControlState::Enabled)},
      {"expect cmdSend disabled", make(ExpectState).name("cmdSend").state(ControlState::Disabled)},
      {"expect optUnits(1) selected",
       make(ExpectState).name("optUnits(1)").state(ControlState::Selected)},
      {"expect optUnits(0) unselected",
       make(ExpectState).name("optUnits(0)").state(ControlState::Unselected)},
      {"expect beeps 0", make(ExpectBeeps).number(0)},
      {"expect sent \"R  100, 1\"", make(ExpectSent).text("R  100, 1")},
      {"expect sent \"none\"", make(ExpectSent).text("none")},
      {"expect sent none", make(ExpectSentNone)},
      {"expect pause 0.1", make(ExpectPause).seconds(0.1)},
      {"wait 2.5", make(Wait).seconds(2.5)},
      {"wait .5", make(Wait).seconds(0.5)},
      {"wait 86400", make(Wait).seconds(86400)},
      {"sim absent", make(SimPresent).flag(false)},
      {"sim present", make(SimPresent).flag(true)},
      {"sim silent on", make(SimSilent).flag(true)},
      {"sim silent off", make(SimSilent).flag(false)},
      {"sim modbus-error 2", make(SimModbusError).number(2).count(1)},
      {"sim modbus-error 101 3", make(SimModbusError).number(101).count(3)},
      {"sim register 100 -40", make(SimRegister).number(100).value(-40)},
      {"sim register 100 none", make(SimRegisterNone).number(100)},
      {"sim reply \"garbage\\r\\n\"", make(SimReply).text("garbage\r\n")},
      {"sim identity \"ORVANE,5690,X1,3.00\"", make(SimIdentity).text("ORVANE,5690,X1,3.00")},
      {"sim baud 19200", make(SimBaud).number(19200)},
  };
  for (const Good& c : cases) {
    SCOPED_TRACE(c.line);
    const script::ParsedLine parsed = script::parseLine(c.line);
    EXPECT_EQ(parsed.error, "");
    ASSERT_TRUE(parsed.step.has_value());
    EXPECT_EQ(*parsed.step, c.step);
  }
}

TEST(ScriptParser, BlankAndCommentLinesHoldNothing) {
  for (const char* line : {"", "   ", "\t", "# a comment", "   # indented comment", "#click x"}) {
    SCOPED_TRACE(line);
    const script::ParsedLine parsed = script::parseLine(line);
    EXPECT_FALSE(parsed.step.has_value());
    EXPECT_EQ(parsed.error, "");
  }
}

TEST(ScriptParser, BadLinesSayWhatIsWrong) {
  const std::pair<const char*, const char*> cases[] = {
      {"clik cmdSend",
       "unknown step \"clik\" (click, select, type, key, close, expect, wait, sim)"},
      {"click", "click needs a control name"},
      {"click cmdSend now", "unexpected \"now\" at the end of the step"},
      {"click 9lives", "\"9lives\" is not a control name (NAME or NAME(INDEX))"},
      {"select optStep(2", "\"optStep(2\" is not a control name (NAME or NAME(INDEX))"},
      {"select optStep(x)", "\"optStep(x)\" is not a control name (NAME or NAME(INDEX))"},
      {"type txtReg", "type needs the text to type (\"\" empties the box)"},
      {"type txtReg \"200", "the closing quote is missing"},
      {"type txtReg \"2\"00", "a blank must follow the closing quote"},
      {"type txtReg \"a\" b", "unexpected \"b\" at the end of the step"},
      {"type txtReg \"\\q\"", "unknown escape \\q (use \\n, \\r, \\t, \\\\, \\\" or \\xNN)"},
      {"type txtReg \"\\x4\"", "\\x needs two hexadecimal digits"},
      {"type txtReg \"end\\\"", "the closing quote is missing"},
      {"key txtOutput", "key needs the key's name (Enter)"},
      {"key txtOutput Escape", "unknown key \"Escape\" (Enter)"},
      {"expect", "expect needs a control name, beeps, sent or pause"},
      {"expect cmdSend", "expect cmdSend needs text \"TEXT\" or a state"},
      {"expect cmdSend shown",
       "unknown expectation \"shown\" (text, visible, hidden, enabled, disabled, selected, "
       "unselected)"},
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
      {"sim", "sim needs absent, present, silent, modbus-error, register, reply, identity or baud"},
      {"sim gone",
       "unknown sim step \"gone\" (absent, present, silent, modbus-error, register, reply, "
       "identity, baud)"},
      {"sim silent", "sim silent needs on or off"},
      {"sim silent yes", "sim silent needs on or off, not \"yes\""},
      {"sim modbus-error", "sim modbus-error needs an error code"},
      {"sim modbus-error 0", "the Modbus error code must lie in 1..65535, not 0"},
      {"sim modbus-error 3 0", "the count of transactions must be at least 1"},
      {"sim register 100", "sim register needs a value or none"},
      {"sim register -1 5", "the register must lie in 0..65535, not -1"},
      {"sim register 100 70000", "the register's value must lie in -32768..65535, not 70000"},
      {"sim register 100 7.5", "the register's value must be a whole number, not \"7.5\""},
      {"sim reply", "sim reply needs a text"},
      {"sim baud 0", "the baud rate must be positive"},
  };
  for (const auto& [line, error] : cases) {
    SCOPED_TRACE(line);
    const script::ParsedLine parsed = script::parseLine(line);
    EXPECT_FALSE(parsed.step.has_value());
    EXPECT_EQ(parsed.error, error);
  }
}

TEST(ScriptParser, QuotedTextsDecodeEveryEscape) {
  const std::pair<std::string, std::string> cases[] = {
      {R"("")", ""},
      {R"("plain text")", "plain text"},
      {R"("  blanks kept  ")", "  blanks kept  "},
      {R"("a\nb")", "a\nb"},
      {R"("\r\n")", "\r\n"},
      {R"("\t")", "\t"},
      {R"("back\\slash")", "back\\slash"},
      {R"("say \"hi\"")", "say \"hi\""},
      {R"("\x00\x41\xff\xFF")", std::string("\0A\xff\xff", 4)},
      {R"("# not a comment")", "# not a comment"},
  };
  for (const auto& [source, bytes] : cases) {
    SCOPED_TRACE(source);
    const script::Quoted quoted = script::readQuoted(source, 0);
    EXPECT_EQ(quoted.error, "");
    EXPECT_EQ(quoted.bytes, bytes);
    EXPECT_EQ(quoted.end, source.size());
  }
  // Through a step, NUL and all.
  const script::ParsedLine parsed = script::parseLine(R"(sim reply "1\x002\n")");
  ASSERT_TRUE(parsed.step.has_value());
  EXPECT_EQ(parsed.step->text, std::string("1\0"
                                           "2\n",
                                           4));
}

TEST(ScriptParser, SentLineComesBackFromTheCallAsReported) {
  EXPECT_EQ(script::sentLine(R"(Send(0, 4, "*IDN?", NLend))"), "*IDN?");
  EXPECT_EQ(script::sentLine(R"(Send(0, 4, "W  300, \"x\"\r\x01", NLend))"), "W  300, \"x\"\r\x01");
  EXPECT_EQ(script::sentLine(R"(Send(0, 4, "", NULLend))"), "");
  EXPECT_EQ(script::sentLine("Receive(0, 4, 256, STOPend)"), std::nullopt);
  EXPECT_EQ(script::sentLine("SendIFC(0)"), std::nullopt);
}

TEST(ScriptParser, ScriptKeepsLineNumbersAndSkipsBlanksAndComments) {
  const std::string text =
      "# a script\r\n"
      "\r\n"
      "  click cmdInitialize  \r\n"
      "clik cmdSend\n"
      "\n"
      "expect beeps 0";  // no line end after the last line
  const std::vector<script::ScriptLine> lines = script::parseScript(text);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].number, 3);
  EXPECT_EQ(lines[0].source, "click cmdInitialize");
  ASSERT_TRUE(lines[0].step.has_value());
  EXPECT_EQ(lines[0].step->name, "cmdInitialize");
  EXPECT_EQ(lines[1].number, 4);
  EXPECT_EQ(lines[1].source, "clik cmdSend");
  EXPECT_FALSE(lines[1].step.has_value());
  EXPECT_NE(lines[1].error, "");
  EXPECT_EQ(lines[2].number, 6);
  ASSERT_TRUE(lines[2].step.has_value());
  EXPECT_EQ(lines[2].step->kind, StepKind::ExpectBeeps);
}

}  // namespace
