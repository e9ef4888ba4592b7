#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BusHarness.h"
#include "ControllerProfiles.h"
#include "Profile.h"
#include "ProfileFile.h"
#include "SimulatedBus.h"

namespace {

using namespace profilelibrary;

Step timed(int kind, int h, int m, int s, int end = 0) {
  return {.type = kind, .hours = h, .minutes = m, .seconds = s, .endTemperature = end};
}
Step ramp(int tenths, int end) { return {.type = 2, .rateTenths = tenths, .endTemperature = end}; }
Step ending(int action) { return {.type = 5, .endAction = action}; }

// Every kind the console writes: wait for 08:00 on Mondays, 10 minutes to 150, 2.5 degrees a
// minute to 200, an hour's soak, all outputs off.
Profile chamberTest() {
  Step start = timed(0, 8, 0, 0);
  start.weekday = 2;
  return {
      3, "BURNIN", {start, timed(1, 0, 10, 0, 150), ramp(25, 200), timed(3, 1, 0, 0), ending(2)}};
}

std::string json(const std::string& profiles,
                 const std::string& head =
                     R"("format": "gpib-modbus-console profiles", "version": 1, "unit": "F")") {
  return "{" + head + R"(, "profiles": )" + profiles + "}";
}

TEST(ProfileFile, SavedProfilesLoadAsTheyWereAndTheTableGoesToASpreadsheet) {
  Profile odd{7, "ODD, \"ONE\"", {ending(0)}};
  Step jump;
  jump.type = 4;
  jump.registers.assign(60, 0);
  jump.registers[0] = 4, jump.registers[47] = 2;
  odd.steps.insert(odd.steps.begin(), jump);
  const ProfileSet saved{1, {chamberTest(), odd}};
  const Reading loaded = fromJson(toJson(saved));
  ASSERT_TRUE(loaded.ok()) << loaded.problem;
  EXPECT_EQ(loaded.set.unit, 1);
  ASSERT_EQ(loaded.set.profiles.size(), 2u);
  for (std::size_t p = 0; p < 2; ++p) {
    EXPECT_EQ(loaded.set.profiles[p].number, saved.profiles[p].number);
    EXPECT_EQ(loaded.set.profiles[p].name, saved.profiles[p].name);
    EXPECT_EQ(loaded.set.profiles[p].steps, saved.profiles[p].steps);
  }
  EXPECT_EQ(toCsv({0, {chamberTest()}}),
            "profile,name,step,type,parameters,hours,minutes,seconds,weekday,rate (F/min),"
            "end temperature (F),end action\r\n"
            "3,BURNIN,1,AutoStart,08:00:00 Monday,8,0,0,2,,,\r\n"
            "3,BURNIN,2,Time,00:10:00 to 150 F,0,10,0,,,150,\r\n"
            "3,BURNIN,3,Ramp,2.5 F/min to 200 F,,,,,2.5,200,\r\n"
            "3,BURNIN,4,Soak,01:00:00,1,0,0,,,,\r\n"
            "3,BURNIN,5,End,all off,,,,,,,all off\r\n");
  // A name with a comma and quotes, and a step the console does not know, by its registers.
  const std::string odds = toCsv({0, {odd}});
  EXPECT_EQ(odds.substr(odds.find("\r\n") + 2, 44),
            "7,\"ODD, \"\"ONE\"\"\",1,type 4,\"registers 4, 0, 0");
}

TEST(ProfileFile, BadFilesAreRefusedNamingTheField) {
  const std::string end = R"({"type": "End", "action": "hold"})";
  const std::string many = [&] {
    std::string steps;
    for (int i = 0; i < 256; ++i) steps += R"({"type": "Soak", "duration": "00:00:01"},)";
    return "[{\"steps\": [" + steps + end + "]}]";
  }();
  std::string sixty = "7";  // a step's register block whose first register is not its type
  for (int i = 1; i < 60; ++i) sixty += ",0";
  const struct {
    std::string text;
    std::string problem;
  } rows[] = {
      {"", "not a profile file: illegal value at byte 0"},
      {json("[{\"steps\": [" + end), "not a profile file: unterminated array at byte 128"},
      {"[1, 2]", "file: expected a JSON object"},
      {R"({"format": "gpib-modbus-console trace", "version": 1})",
       "format: \"gpib-modbus-console trace\" is not a profile file"},
      {json("[]", R"("format": "gpib-modbus-console profiles", "version": 2, "unit": "F")"),
       "version: version 2 is newer than this console reads (1)"},
      {json("[]", R"("format": "gpib-modbus-console profiles", "version": 1.5, "unit": "F")"),
       "version: expected a whole number"},
      {json("[]", R"("format": "gpib-modbus-console profiles", "version": 1, "unit": "K")"),
       "unit: expected \"F\" or \"C\""},
      {json("[]"), "profiles: the file holds no profile"},
      {json("{}"), "profiles: expected a list"},
      {json(R"([{"steps": "none"}])"), "profiles[0].steps: expected a list"},
      {json(R"([{"number": 41, "steps": []}])"), "profiles[0].number: value outside 1..40"},
      {json(R"([{"name": "ELEVENCHARS", "steps": [)" + end + "]}]"),
       "profiles[0]: name \"ELEVENCHARS\" is longer than 10 characters"},
      {json(R"([{"steps": [{"type": "Soak", "duration": "1:75:00"}, )" + end + "]}]"),
       "profiles[0]: step 1: minutes 75 is outside 0..59"},
      {json(R"([{"steps": [{"type": "Soak", "duration": 60}]}])"),
       "profiles[0].steps[0].duration: expected a text"},
      {json(R"([{"steps": [{"type": "Soak", "duration": "one hour"}]}])"),
       "profiles[0].steps[0].duration: expected \"HH:MM:SS\""},
      {json(R"([{"steps": [{"type": "Time", "duration": "00:01:00", "end": 1e9}]}])"),
       "profiles[0].steps[0].end: value outside -32768..32767"},
      {json(R"([{"steps": [{"type": "Ramp", "rate": 0, "end": 100}]}])"),
       "profiles[0].steps[0].rate: expected a rate of 0.1 to 999.9 degrees a minute"},
      {json(R"([{"steps": [{"type": "AutoStart", "time": "08:00:00", "weekday": 8}]}])"),
       "profiles[0].steps[0].weekday: value outside 0..7"},
      {json(R"([{"steps": [{"type": "Jump"}]}])"),
       "profiles[0].steps[0].type: unknown step type \"Jump\""},
      {json(R"([{"steps": [{"type": 4, "registers": [4]}]}])"),
       "profiles[0].steps[0].registers: expected 60 registers"},
      {json(R"([{"steps": [{"type": 3, "registers": []}]}])"),
       "profiles[0].steps[0].type: a Soak step is written by its name, \"Soak\""},
      {json(R"([{"steps": [{"type": 6, "registers": [)" + sixty + "]}]}]"),
       "profiles[0].steps[0].registers[0]: the first register is the step type, 6"},
      {json(R"([{"steps": [{"type": "End", "action": "explode"}]}])"),
       "profiles[0].steps[0].action: unknown end action \"explode\""},
      {json(R"([{"steps": [{"type": "Soak", "duration": "00:00:01"}]}])"),
       "profiles[0]: the last step is not an End step"},
      {json(R"([{"steps": [)" + end + "," + end + "]}]"),
       "profiles[0]: step 1: an End step before the last"},
      {json(many), "profiles[0].steps: 257 steps are more than the controller holds (256)"},
  };
  for (const auto& row : rows) {
    const Reading r = fromJson(row.text);
    EXPECT_EQ(r.problem, row.problem) << row.text.substr(0, 120);
    EXPECT_TRUE(r.set.profiles.empty());
  }
}

TEST(Profile, StepsInWordsThePlannedCurveAndOtherUnits) {
  const Profile p = chamberTest();
  std::vector<std::string> words;
  for (const Step& s : p.steps) words.push_back(kindName(s.type) + " " + describeStep(s, "F"));
  EXPECT_EQ(words,
            (std::vector<std::string>{"AutoStart 08:00:00 Monday", "Time 00:10:00 to 150 F",
                                      "Ramp 2.5 F/min to 200 F", "Soak 01:00:00", "End all off"}));
  // From 75: 10 minutes to 150, 20 minutes at 2.5 a minute to 200, an hour's soak.
  std::string plan;
  for (const PlanPoint& q : plannedCurve(p, 75))
    plan += std::to_string(static_cast<int>(q.seconds)) + "s " +
            std::to_string(static_cast<int>(q.setPoint)) + " @" + std::to_string(q.step) + " ";
  EXPECT_EQ(plan,
            "0s 75 @1 0s 75 @1 0s 75 @2 600s 150 @2 600s 150 @3 1800s 200 @3 1800s 200 @4 "
            "5400s 200 @4 ");
  const auto curve = plannedCurve(p, 75);
  EXPECT_DOUBLE_EQ(*plannedAt(curve, 300), 112.5);
  EXPECT_DOUBLE_EQ(*plannedAt(curve, 1200), 175);
  EXPECT_FALSE(plannedAt(curve, 5401) || plannedAt(curve, -1));
  const Profile celsius = convertUnit(p, 0, 1);
  EXPECT_EQ(celsius.steps[1].endTemperature, 66);
  EXPECT_EQ(celsius.steps[2].rateTenths, 14);
  EXPECT_EQ(convertUnit(celsius, 1, 0).steps[1].endTemperature, 151);

  Profile held = p;
  held.steps[1].endTemperature = 149;
  held.steps.pop_back();
  EXPECT_EQ(compareProfiles(p, held),
            (std::vector<std::string>{
                "step 2: Time 00:10:00 to 150, controller holds Time 00:10:00 to 149",
                "step 5: End all off, missing on the controller"}));
  EXPECT_EQ(compareProfiles(held, p).back(), "step 5: controller holds an extra End all off");
}

// The converter and controller on the simulated bench, with every Modbus request counted.
struct Bench : testing_support::BusHarness<sim::SimulatedBus> {
  ControllerProfiles profiles{gpib};
  std::vector<modbus::Bytes> requests;
  Bench() {
    driver.converter().setFrameListener(
        [this](const modbus::RtuExchange& x) { requests.push_back(x.request); });
    gpib.ibtmo(0, 11);
  }
  int transactions() { return static_cast<int>(std::exchange(requests, {}).size()); }
};

TEST(ControllerProfiles, WrittenReadBackListedAndPolitelyRead) {
  Bench b;
  Profile p = chamberTest();
  ASSERT_EQ(b.profiles.writeProfile(p, 1).problem, "");
  Profile twenty{2, "", {}};
  for (int i = 0; i < 19; ++i) twenty.steps.push_back(timed(3, 0, i + 1, 0));
  twenty.steps.push_back(ending(0));
  ASSERT_EQ(b.profiles.writeProfile(twenty, 2).problem, "");
  b.transactions();

  Profile back;
  ASSERT_TRUE(b.profiles.readProfile(1, back).ok);
  EXPECT_EQ(back.name, "BURNIN");
  EXPECT_EQ(back.steps, p.steps);
  b.transactions();
  ASSERT_TRUE(b.profiles.readProfile(2, back).ok);
  // Select, name, then a step selection and one block read a step; nothing written to the
  // profile action register.
  EXPECT_EQ(back.steps, twenty.steps);
  for (const auto& r : b.requests) {
    const int first = r[2] << 8 | r[3], count = r[1] == 16 ? (r[4] << 8 | r[5]) : 1;
    EXPECT_FALSE(r[1] != 3 && first <= 4002 && first + count > 4002);
  }
  EXPECT_EQ(b.transactions(), 2 + 2 * 20 - 1);

  ControllerProfiles::Directory d;
  ASSERT_TRUE(b.profiles.readDirectory(d).ok);
  ASSERT_EQ(d.profiles.size(), 2u);
  EXPECT_EQ(d.profiles[0].name + "|" + d.profiles[1].name, "BURNIN|");
  EXPECT_EQ(b.transactions(), 3 + 2 * 2 + 1);  // mode, unit, free count; two profiles; names

  // The running profile cannot be replaced or deleted; the directory says which step runs.
  b.gpib.Send(0, 4, "W 4000,2;W 4001,1;W 4002,5", 1);
  ASSERT_TRUE(b.profiles.readDirectory(d).ok);
  EXPECT_EQ(d.runningProfile * 10 + d.runningStep, 21);
  EXPECT_EQ(b.profiles.writeProfile(p, 2).problem, "profile 2 is running: it cannot be replaced");
  EXPECT_EQ(b.profiles.deleteProfile(2).problem, "profile 2 is running: stop it first");
}

TEST(ControllerProfiles, FailuresStopAtOnceAndSayWhere) {
  Bench b;
  const Profile p = chamberTest();
  // The controller creates at the lowest free number: asked for 3, it gives 1, which is freed
  // again.
  EXPECT_EQ(b.profiles.writeProfile(p, 3).problem,
            "the controller gives a new profile the lowest free number, 1, not 3: load into 1 or "
            "free the numbers below 3");
  EXPECT_EQ(b.driver.controller().profileCount(), 0);
  // A register that does not answer stops the load at its step.
  b.driver.setRegisterSilent(4044);
  EXPECT_EQ(b.profiles.writeProfile(p, 1).problem,
            "step 2 (Time): Modbus error 101 writing register 4044");
  EXPECT_EQ(b.driver.controller().stepCount(1), 2);
  Profile back;
  EXPECT_EQ(b.profiles.readProfile(1, back).problem, "Modbus error 101 reading register 4000");
  b.driver.clearFaults();
  ASSERT_TRUE(b.profiles.readProfile(1, back).ok);
  EXPECT_EQ(back.steps.size(), 2u);  // what it holds, no End step yet
  EXPECT_EQ(b.profiles.readProfile(9, back).problem, "profile 9 does not exist");
  EXPECT_FALSE(b.profiles.writeProfile({0, "", {}}, 2).ok);

  // Hexadecimal replies read the same; a converter gone is named.
  b.gpib.Send(0, 4, "FORM:TALK HEXL", 1);
  for (auto [reg, value] : {std::pair{4000, 1}, {4001, 2}, {4044, -40}})
    ASSERT_EQ(b.driver.controller().write(reg, static_cast<std::int16_t>(value)), 0);
  ASSERT_TRUE(b.profiles.readProfile(1, back).ok);
  EXPECT_EQ(back.steps[1].endTemperature, -40);
  b.driver.setConverterPresent(false);
  EXPECT_EQ(b.profiles.readProfile(1, back).problem,
            "the converter did not take \"FORM:TALK?\": ENOL <No Listener>");
  int cancelAt = 0;
  b.driver.setConverterPresent(true);
  const auto cancelled =
      b.profiles.readProfile(1, back, [&](int done, int) { return ++cancelAt < 2 && done >= 0; });
  EXPECT_TRUE(cancelled.cancelled && back.steps.size() == 1);
}

}  // namespace
