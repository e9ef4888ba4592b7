#include "Options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using app::Options;
using Driver = Options::Driver;

struct Accepted {
  std::vector<std::string> args;
  Driver driver;
  std::string driverPath, tracePath, scriptPath;
  bool virtualTime;
};

TEST(Options, AcceptedCommandLines) {
  const Accepted cases[] = {
      {{}, Driver::Automatic, "", "", "", false},
      {{"--simulate"}, Driver::Simulator, "", "", "", false},
      {{"--driver", "/lib/x.so"}, Driver::Library, "/lib/x.so", "", "", false},
      {{"--driver=/lib/x.so"}, Driver::Library, "/lib/x.so", "", "", false},
      {{"--trace", "-"}, Driver::Automatic, "", "-", "", false},
      {{"--trace=out.txt", "--simulate"}, Driver::Simulator, "", "out.txt", "", false},
      {{"--script", "a.script"}, Driver::Automatic, "", "", "a.script", false},
      {{"--simulate", "--virtual-time", "--script=a.script", "--trace", "t"},
       Driver::Simulator,
       "",
       "t",
       "a.script",
       true},
      {{"--driver", "lib.so", "--script", "a b.script", "--trace", "-"},
       Driver::Library,
       "lib.so",
       "-",
       "a b.script",
       false},
  };
  for (const Accepted& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const Options o = app::parseOptions(c.args);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.driver, c.driver);
    EXPECT_EQ(o.driverPath, c.driverPath);
    EXPECT_EQ(o.tracePath, c.tracePath);
    EXPECT_EQ(o.scriptPath, c.scriptPath);
    EXPECT_EQ(o.virtualTime, c.virtualTime);
  }
}

TEST(Options, RefusedCommandLinesSayWhy) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--trace"}, "--trace needs a file name (- for standard output)"},
      {{"--trace="}, "--trace needs a file name (- for standard output)"},
      {{"--script"}, "--script needs the path of a script file"},
      {{"--driver"}, "--driver needs the path of a GPIB driver library"},
      {{"--virtual-time", "--script", "a"},
       "--virtual-time needs --simulate: only the built-in simulator keeps simulated time"},
      {{"--driver", "x.so", "--virtual-time", "--script", "a"},
       "--virtual-time needs --simulate: only the built-in simulator keeps simulated time"},
      {{"--simulate", "--virtual-time"},
       "--virtual-time needs --script: without one nothing makes the time pass"},
      {{"--scrip", "a"}, "unknown option --scrip"},
  };
  for (const auto& [args, error] : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    EXPECT_EQ(app::parseOptions(args).error, error);
  }
}

}  // namespace
