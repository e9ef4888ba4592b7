#pragma once

// The Watlow F4's Modbus registers that the console, the trend, the profile windows and the
// simulated controller use, by name. Holding registers, one 16-bit word each; temperatures in
// whole degrees of the unit register Unit selects.
namespace f4 {

// Identity (read-only).
inline constexpr int Model = 0;         // 5270 for an F4
inline constexpr int SerialNumber = 1;  // two registers: high and low part
inline constexpr int SoftwareRevision = 3;
inline constexpr int RevisionCode = 4;
inline constexpr int ManufactureDate = 5;  // year and week, e.g. 2311

// Written 0 after the profile store was edited, to keep the changes.
inline constexpr int SaveChanges = 25;

// The process and its control.
inline constexpr int Temperature = 100;  // input 1 (read-only)
inline constexpr int ControlMode = 200;  // 0 static set point, 2 running a profile (read-only)
inline constexpr int SetPoint = 300;     // set point 1; at or below LowLimit it is off

// The outputs block: how outputs 1A and 1B control, and their hysteresis.
inline constexpr int Output1AControl = 500;   // control type of output 1A, 0..1
inline constexpr int Output1BControl = 550;   // the same of output 1B
inline constexpr int Hysteresis = 507;        // degrees, 0..999
inline constexpr int Output1AFunction = 700;  // 0 off, 1 heat, 2 cool
inline constexpr int Output1BFunction = 717;

// The set-point limits.
inline constexpr int LowLimit = 602;
inline constexpr int HighLimit = 603;

inline constexpr int Unit = 901;  // 0 Fahrenheit, 1 Celsius

// Writing 1 ends the profile that runs.
inline constexpr int ProfileStop = 1217;
// How many of the 40 profile numbers are free (read-only).
inline constexpr int FreeProfiles = 1218;

// The controller's clock: hours, minutes and seconds in three registers.
inline constexpr int TimeOfDay = 1916;

// The profile store. Select a profile (and a step of it), then write ProfileAction; the step
// registers below read and write the selected step.
inline constexpr int ProfileNumber = 4000;  // 1..40
inline constexpr int StepNumber = 4001;     // 1..256
inline constexpr int ProfileAction = 4002;  // see ProfileActions
inline constexpr int StepType = 4003;       // see StepTypes
inline constexpr int AutoStartKind = 4004;  // AutoStart: 0..1
inline constexpr int AutoStartDay = 4008;   // AutoStart: 0..7
inline constexpr int StepHours = 4009;      // AutoStart: time of day; Time, Soak: duration
inline constexpr int StepMinutes = 4010;
inline constexpr int StepSeconds = 4011;  // Ramp: the rate, tenths of a degree a minute
inline constexpr int WaitFor = 4012;
inline constexpr int EndTemperature = 4044;  // Time, Ramp: set point at the end of the step
inline constexpr int Event1 = 4046;
inline constexpr int Event2 = 4048;
inline constexpr int EndAction = 4060;  // see EndActions
// Further step registers: the start date of a date AutoStart (month, day, year), the wait-for
// conditions, the event outputs, the ramp rate of a Ramp step (tenths of a degree a minute), the
// second loop's set point, PID set and guaranteed soak, a Jump step's profile, step and count,
// and an idle End's set points. The whole block from StepType to StepBlockLast is one read.
inline constexpr int AutoStartDate = 4005;
inline constexpr int RampRate = 4043;
inline constexpr int JumpProfile = 4050;
inline constexpr int StepBlockLast = 4062;
inline constexpr int StepRegisters = StepBlockLast - StepType + 1;  // 60

// While a profile runs: its number and the step it is at (read-only; 0 when none runs).
inline constexpr int RunningProfile = 4100;
inline constexpr int RunningStep = 4101;

// Each profile's name: ten registers of one character each (blank-padded), from
// ProfileNames + 10 * (profile - 1).
inline constexpr int ProfileNames = 3500;
inline constexpr int ProfileNameLength = 10;
inline constexpr int MaxProfiles = 40;
inline constexpr int MaxSteps = 256;

// What ProfileAction does: create (at the lowest free number, which ProfileNumber then holds),
// insert a step before step StepNumber, delete the profile, delete step StepNumber, run from
// step StepNumber, delete every profile.
struct ProfileActions {
  enum : int { Create = 1, InsertStep = 2, Delete = 3, DeleteStep = 4, Run = 5, DeleteAll = 255 };
};
struct StepTypes {
  enum : int { AutoStart = 0, Time = 1, Ramp = 2, Soak = 3, Jump = 4, End = 5 };
};
// What the controller does when a profile ends: hold, control off, all outputs off, or back to
// set point 1.
struct EndActions {
  enum : int { Hold = 0, ControlOff = 1, AllOff = 2, Idle = 3 };
};
// What Output1AFunction and Output1BFunction make of their output.
struct OutputFunctions {
  enum : int { Off = 0, Heat = 1, Cool = 2 };
};

// The outputs block as the console sets a controller up for static and profile control: output
// 1A heats, 1B cools, both on-off, 2 degrees of hysteresis; written in this order.
struct RegisterValue {
  int reg;
  int value;
};
inline constexpr RegisterValue kOutputSetup[] = {
    {Output1AFunction, OutputFunctions::Heat},
    {Output1BFunction, OutputFunctions::Cool},
    {Output1AControl, 0},
    {Output1BControl, 0},
    {Hysteresis, 2},
};

}  // namespace f4
