// The whole path on the simulator: the main window finds the controller, opens the generator,
// the profile is built and then run from the main window.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "Clock.h"
#include "Form.h"
#include "GPIB32.h"
#include "MainWindow.h"
#include "MultiLineBox.h"
#include "ProfileWindow.h"
#include "Recorder.h"
#include "SimulatedBus.h"

namespace profile_tests {
namespace {

TEST(ProfileFromMainWindow, BuiltProfileRunsAndTheTemperatureFollowsIt) {
  bus::VirtualClock clock;
  sim::SimulatedBus simBus(clock);
  bus::SilentSound sound;
  bus::Recorder rec;
  bus::GPIB32 gpib(simBus, clock, sound, &rec);
  console::MainWindow main(gpib);
  main.Timer1->stop();  // the live display is not under test here
  main.cmdInitialize->click();
  ASSERT_EQ(ui::toBytes(main.txtResults->text()), "Found F4 Watlow Controller");
  auto& f4 = simBus.controller();
  f4.setTimeOfDay(0);

  main.cmdCreate->click();
  profile::ProfileWindow* p = main.profileWindow();
  ASSERT_NE(p, nullptr);
  ASSERT_TRUE(p->isVisible());
  p->txtProfile->setText("1");
  p->cmdSetProfile->click();
  p->optStep[0]->click();  // start at 00:01:00
  p->txtMM->setText("01");
  p->txtSS->setText("00");
  p->cmdSetTime->click();
  p->optStep[2]->click();  // ramp at 60 degrees a minute to 150
  p->txtSS->setText("600");
  p->cmdSetTime->click();
  p->txtTemp->setText("150");
  p->cmdSetTemp->click();
  p->optStep[3]->click();  // hold for five minutes
  p->txtMM->setText("05");
  p->cmdSetTime->click();
  p->optStep[4]->click();
  EXPECT_TRUE(p->lblDone->isVisible());
  EXPECT_EQ(rec.beeps(), 0);
  EXPECT_EQ(f4.stepCount(1), 4);

  p->cmdReturn->click();
  EXPECT_FALSE(p->isVisible());
  const double built = clock.now();
  ASSERT_LT(built, 30.0);

  main.txtProfile->setText("1");
  main.cmdRunProfile->click();
  EXPECT_EQ(ui::toBytes(main.txtResults->text()), "Modbus Error 0");
  // The controller reports the profile running (mode 2), read with the command assembler.
  main.txtReg->setText("200");
  main.txtOutput->clear();
  main.cmdSend->click();
  EXPECT_EQ(ui::toBytes(main.txtResults->text()), "Read Response = 2");

  // The live display: the chamber stays where it was until the start time, then climbs with
  // the ramp to the soak.
  main.cmdRdTemp2->click();
  auto liveTemperatureAt = [&](double t) {
    clock.sleepFor(t - clock.now());
    main.Timer1_Timer();
    return main.txtTemp->text().toInt();
  };
  EXPECT_NEAR(liveTemperatureAt(50), 75, 2);
  EXPECT_NEAR(liveTemperatureAt(100), 115, 6);
  EXPECT_NEAR(liveTemperatureAt(200), 150, 3);
  std::int16_t mode = 0;
  ASSERT_EQ(f4.read(200, mode), 0);
  EXPECT_EQ(mode, 2);
  main.cmdRdTemp2->click();

  // Opened again, the generator is as it was left.
  main.cmdCreate->click();
  EXPECT_EQ(main.profileWindow(), p);
  EXPECT_TRUE(p->isVisible());
  EXPECT_TRUE(p->lblDone->isVisible());
  EXPECT_EQ(p->txtProfile->text(), "1");
}

}  // namespace
}  // namespace profile_tests
