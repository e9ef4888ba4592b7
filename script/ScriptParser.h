#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace script {

// One step of a script, as the operator's story reads: "click cmdSend", "expect beeps 1".
enum class StepKind {
  Click,            // click NAME
  Select,           // select NAME
  Type,             // type NAME "TEXT"
  Key,              // key NAME Enter
  Close,            // close
  Open,             // open WINDOW                       (name: trend, ...)
  ExpectText,       // expect NAME text "TEXT"
  ExpectState,      // expect NAME visible|hidden|enabled|disabled|selected|unselected
  ExpectBeeps,      // expect beeps N
  ExpectSent,       // expect sent "LINE"
  ExpectSentNone,   // expect sent none
  ExpectPause,      // expect pause SECONDS
  Wait,             // wait SECONDS
  SimPresent,       // sim absent | sim present          (flag)
  SimSilent,        // sim silent on|off                 (flag)
  SimModbusError,   // sim modbus-error CODE [COUNT]     (number, count)
  SimRegister,      // sim register REG VALUE            (number, value)
  SimRegisterNone,  // sim register REG none             (number)
  SimReply,         // sim reply "RAW"                   (text)
  SimIdentity,      // sim identity "TEXT"               (text)
  SimBaud,          // sim baud N                        (number)
  SimClock,         // sim clock HH:MM:SS                (number: seconds of the day)
  SimModel,         // sim model TEXT                    (text)
  SimAmbient,       // sim ambient DEGREES               (degrees[0])
  SimRates,         // sim rates HEAT COOL DRIFT         (degrees[0..2], per second)
  SimPowerCycle,    // sim power-cycle
  SimRegisterOk,    // sim register REG clear            (number: answers again)
  SimChamber,       // sim chamber thermal|linear        (flag: linear)
  SimPlant,         // sim plant MASS HEATER COOLER LOSS DEAD-TIME   (degrees[0..4])
  SimLoop,          // sim loop BAND INTEGRAL DERIVATIVE (degrees[0..2])
  SimLatency,       // sim latency MILLISECONDS          (seconds)
  SimLink,          // sim link paced|instant            (flag: paced)
};

enum class ControlState { Visible, Hidden, Enabled, Disabled, Selected, Unselected };

struct Step {
  StepKind kind = StepKind::Close;
  std::string name;  // the control, "NAME", "NAME(INDEX)" or "WINDOW.NAME"; the window to open
  std::string text;  // bytes to type, expect or hand to the simulator; the key's name
  ControlState state = ControlState::Visible;
  double seconds = 0;
  long number = 0;
  long value = 0;
  long count = 0;
  bool flag = false;
  std::vector<double> degrees;

  bool operator==(const Step&) const = default;
};

// A line of a script that holds a step, or that should and cannot be read.
struct ScriptLine {
  int number = 0;      // from 1
  std::string source;  // the line without its end and outer blanks
  std::optional<Step> step;
  std::string error;  // why the line is not a step; empty when `step` holds one
};

// Reads one line. Neither a step nor an error for a blank line or a comment.
struct ParsedLine {
  std::optional<Step> step;
  std::string error;
};
ParsedLine parseLine(std::string_view line);

// Every line that is not blank or a comment, in order.
std::vector<ScriptLine> parseScript(std::string_view text);

const char* stateName(ControlState state);

}  // namespace script
