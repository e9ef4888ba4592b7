// An operator's session with the setup window on the simulated bus: the converter at 4 with the
// Watlow F4 behind it, a plain instrument at 7.
#include "SetupFixture.h"
#include "SimulatedBus.h"

namespace setup_test {
namespace {

class OnSimulator : public ::testing::Test {
 protected:
  OnSimulator() {
    main.cmdInitialize_Click();  // the converter gets "*ESE 255;*SRE 32" here
    tap.take();
  }
  setup::SetupWindow& openSetup() {
    main.cmd488_2Cmds_Click();
    return *main.setupWindow();
  }
  QString results() { return main.setupWindow()->txtResults2->text(); }

  bus::VirtualClock clock;
  sim::SimulatedBus sim{clock};
  bus::SilentSound sound;
  Tap tap;
  bus::GPIB32 gpib{sim, clock, sound, &tap};
  console::MainWindow main{gpib};
};

TEST_F(OnSimulator, ReadsAndSetsEveryStatusRegister) {
  ASSERT_EQ(gpib.ModelNumber, 5270);
  auto& win = openSetup();
  EXPECT_EQ(win.txtSRE->text() + " " + win.txtESE->text(), "32 255");
  EXPECT_TRUE(win.opt9600->isChecked() && win.optModeEna->isChecked());
  EXPECT_FALSE(win.txtError->isVisible() || win.txtGPIBErr->isVisible());

  win.txtESE->setText("16");
  win.txtSRE->setText("48");
  win.txtPSC->setText("0");
  const std::pair<QAbstractButton*, QString> steps[] = {
      {win.cmdSetESE, ""},
      {win.cmdSetSRE, ""},
      {win.cmdESE, "ESE = 16"},
      {win.cmdSRE, "SRE = 48"},
      {win.cmdSetPSC, "Device set to restore the saved SRE and ESE values at power turn-on"},
      {win.cmdSav, "Current Configuration Saved"},
      {win.cmdCLR, "Unit sent the *CLS command"},
      {win.cmdESR, "ESR = 0"},
  };
  for (const auto& [button, shown] : steps) {
    button->click();
    EXPECT_EQ(results(), shown) << button->objectName().toStdString();
  }
  EXPECT_EQ(sim.converter().ese(), 16);
  EXPECT_EQ(sim.converter().sre(), 48);
  EXPECT_FALSE(sim.converter().powerOnClear());
  win.cmdIDN->click();
  EXPECT_TRUE(results().startsWith("IDN = " + QString::fromStdString(sim.converter().identity()) +
                                   "\n     "));
  win.cmdSTB->click();
  EXPECT_TRUE(results().startsWith("STB = "));
  win.cmdRST->click();
  EXPECT_EQ(results(), "Unit Reset\r\nBaud Rate = 9600\r\nRS-485 Mode Enabled");
  win.optModeDis->click();
  EXPECT_FALSE(sim.converter().rs485Setting());
  EXPECT_EQ(results(), "RS485 mode is disabled");
  win.optModeEna->click();
  EXPECT_EQ(results(), "RS485 mode is enabled");
  EXPECT_FALSE(win.txtGPIBErr->isVisible());
}

TEST_F(OnSimulator, AnotherBaudRateCutsTheControllerOffUntilSwitchedBack) {
  auto& win = openSetup();
  win.opt19200->click();
  EXPECT_EQ(results(), "Baud Rate = 19200");
  EXPECT_EQ(sim.converter().linkBaud(), 9600) << "taken into use only by the update";
  win.cmdExit->click();
  EXPECT_EQ(sim.converter().linkBaud(), 19200);
  EXPECT_FALSE(win.isVisible());

  main.cmdRdTemp_Click();
  EXPECT_EQ(main.txtResults->text(), "");
  EXPECT_TRUE(main.txtError->text().startsWith("Modbus Error "))
      << main.txtError->text().toStdString();

  openSetup();
  tap.take();
  win.opt9600->click();
  win.cmdSetBaud->click();
  EXPECT_EQ(results(), "Baud Rate Set");
  win.cmdExit->click();
  EXPECT_EQ(tap.take().front(), sent("SYST:COMM:SER:BAUD 9600"));
  EXPECT_EQ(sim.converter().linkBaud(), 9600);
  main.cmdRdTemp_Click();
  EXPECT_TRUE(main.txtResults->text().startsWith("Temperature = "));
}

TEST_F(OnSimulator, FindsTheListenersPollsAndMovesToAnotherAddressAndBack) {
  auto& win = openSetup();
  win.cmdFindLstn->click();
  EXPECT_EQ(results(), "Found devices at addresses =  4  7 ");
  win.cmdSerialPoll->click();
  EXPECT_TRUE(results().startsWith("Serial Poll Response=  "));
  EXPECT_FALSE(win.txtGPIBErr->isVisible());

  win.cmdIDN->click();
  const QString converterIdn = results();
  win.txtNewAddr->setText("7");
  win.cmdSetAddr->click();
  EXPECT_EQ(gpib.ConverterAddr, 7);
  EXPECT_FALSE(win.txtGPIBErr->isVisible());
  win.cmdIDN->click();
  EXPECT_NE(results(), converterIdn) << "the instrument at 7 answers";
  win.txtNewAddr->setText("4");
  win.cmdSetAddr->click();
  win.cmdIDN->click();
  EXPECT_EQ(results(), converterIdn);

  // 30.6 becomes 31, which the driver refuses: reported, and the address is kept.
  win.txtNewAddr->setText("30.6");
  win.cmdSetAddr->click();
  EXPECT_EQ(gpib.ConverterAddr, 31);
  EXPECT_EQ(ui::toBytes(win.txtGPIBErr->text()),
            report("SendCmd", "CIC >iberr =  4 EARG <Invalid argument"));
  EXPECT_TRUE(win.txtGPIBErr->isVisible());
}

TEST_F(OnSimulator, ASilentConverterLeavesTheWindowUsable) {
  sim.setConverterSilent(true);
  auto& win = openSetup();
  EXPECT_EQ(ui::toBytes(win.txtGPIBErr->text()).substr(0, 16), "SRE Read Error  ");
  EXPECT_TRUE(win.txtError->isVisible());
  EXPECT_FALSE(win.opt9600->isChecked() || win.opt19200->isChecked());
  win.cmdSetBaud->click();  // nothing chosen: nothing happens
  EXPECT_EQ(results(), "");
}

}  // namespace
}  // namespace setup_test
