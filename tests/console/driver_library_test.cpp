#include "ConsoleFixture.h"
#include "LibraryDriver.h"

namespace console_tests {
namespace {

// The whole console through the real dynamic-loading path: the simulator built as a
// linux-gpib style driver library, loaded by the library driver.
TEST(ConsoleOnDriverLibrary, DiscoversTheF4ThroughTheLoadedLibrary) {
  bus::LibraryDriver library(GPIBSIM_LIBRARY);
  ASSERT_TRUE(library.load()) << library.problem();
  EXPECT_NE(library.describe().find("(linux-gpib)"), std::string::npos) << library.describe();
  bus::SteadyClock clock;
  bus::SilentSound sound;
  bus::Recorder rec;
  bus::GPIB32 gpib(library, clock, sound, &rec);
  console::MainWindow w(gpib);
  w.cmdInitialize->click();
  EXPECT_EQ(ui::toBytes(w.txtResults->text()), "Found F4 Watlow Controller");
  EXPECT_TRUE(w.cmdRdTemp->isEnabled());
  w.cmdRdTemp->click();
  EXPECT_EQ(ui::toBytes(w.txtResults->text()), "Temperature = 75");
  EXPECT_EQ(rec.beeps(), 0);
}

TEST(ConsoleOnDriverLibrary, MissingLibraryShowsTheBusReportAndNeverCrashes) {
  bus::LibraryDriver library("/nonexistent/libgpib.so.0");
  EXPECT_FALSE(library.load());
  bus::VirtualClock clock;
  bus::SilentSound sound;
  bus::GPIB32 gpib(library, clock, sound);
  console::MainWindow w(gpib);
  w.cmdInitialize->click();
  EXPECT_EQ(ui::toBytes(w.txtError->text()),
            "SendIFC Error   ERR >iberr =  0 EDVR <DOS Error>ibcnt =  0");
  EXPECT_FALSE(w.cmd488_2Cmds->isEnabled());
}

}  // namespace
}  // namespace console_tests
