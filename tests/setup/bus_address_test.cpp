// Listener search, the converter's GPIB address and the serial poll.
#include "SetupFixture.h"

namespace setup_test {
namespace {

TEST_F(SetupWindow, ListenerSearchListsEveryDeviceButTheBoard) {
  const struct {
    std::vector<bus::Addr4882> listeners;
    std::string results;
  } rows[] = {
      {{0}, "Found devices at addresses = "},
      {{0, 4}, "Found devices at addresses =  4 "},
      {{0, 4, 7}, "Found devices at addresses =  4  7 "},
      {{4, 7}, "Found devices at addresses =  4  7 "},  // a driver that leaves the board out
      {{}, "Found devices at addresses = "},
      {{0, 30, 31}, "Found devices at addresses =  30 "},  // 30 is the last address searched
  };
  auto& win = open();
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.listeners));
    bus.listeners = row.listeners;
    click(win.cmdFindLstn);
    EXPECT_EQ(tap.take(), Lines{"FindLstn(0, 31)"});
    EXPECT_EQ(results(), QString::fromStdString(row.results));
    EXPECT_FALSE(win.txtGPIBErr->isVisible());
  }
}

TEST_F(SetupWindow, ListenerSearchShowsItsWaitTextAndAFailureStopsWaiting) {
  auto& win = open();
  QString shown;
  int paints = -1;
  watchResultsAt("FindLstn", shown, paints);
  bus.failNext("FindLstn", bus::ECIC);
  click(win.cmdFindLstn);
  EXPECT_EQ(shown, "Please wait a moment");
  EXPECT_GE(paints, 1);
  EXPECT_EQ(tap.take(), (Lines{"FindLstn(0, 31)", "ibonl(0, 0)"}));
  EXPECT_EQ(bytes(win.txtGPIBErr->text()), report("FindLstn", "CMPL >iberr =  1 ECIC <Not CIC"));
  EXPECT_TRUE(win.txtGPIBErr->isVisible());
  EXPECT_EQ(results(), "");
  tap.during = nullptr;
}

TEST_F(SetupWindow, AddressEntriesTakeOnlyPrimaryAddresses) {
  const struct {
    const char* typed;
    int address;  // -1: refused
  } rows[] = {
      {"30", 30},   {"31", -1},    {"-1", -1},   {"30.4", 30}, {"30.6", 31},
      {"", 0},      {"5", 5},      {"0.5", 0},   {"2.5", 2},   {"-0.4", -1},
      {"100", -1},  {"101", -1},   {"2905", -1}, {"3029", -1}, {"3030", -1},
      {"1E39", -1}, {"1E400", -1}, {"x7", 0},    {" 7 ", 7},
  };
  auto& win = open();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.typed);
    const bool taken = row.address >= 0;
    gpib.ConverterAddr = 4;
    win.cmdExit->setFocus();
    win.txtError->setText("old");
    win.txtError->setVisible(false);
    win.txtNewAddr->setText(row.typed);
    click(win.cmdSetAddr);
    EXPECT_EQ(gpib.ConverterAddr, taken ? row.address : 4);
    EXPECT_EQ(tap.take(), taken ? Lines{sent("*ESE 64", row.address)} : Lines{"beep"});
    EXPECT_EQ(win.txtError->text(), taken ? "" : "Invalid address value, retry ");
    EXPECT_EQ(win.txtError->isVisible(), !taken);
    if (!taken) {
      EXPECT_TRUE(win.txtNewAddr->hasFocus());
      EXPECT_EQ(win.txtNewAddr->selectedText(), row.typed);
      EXPECT_EQ(win.txtNewAddr->selectionStart(), 0);
    }
    EXPECT_EQ(win.txtNewAddr->text(), row.typed);
    EXPECT_FALSE(win.txtGPIBErr->isVisible());
  }
}

TEST_F(OpenedFromMain, AfterAChangeToFiveEveryCommandOfBothWindowsGoesThere) {
  auto& win = openFromMain();
  win.txtNewAddr->setText("5");
  win.cmdSetAddr->click();
  bus.reply("ORVANE\n");
  win.cmdIDN->click();
  win.cmdSerialPoll->click();
  win.cmdFindLstn->click();
  bus.reply("9600\n"), bus.reply("1\n");
  win.cmdRST->click();
  win.cmdExit->click();
  bus.reply("71\n");
  main.cmdRdTemp_Click();
  EXPECT_EQ(main.txtResults->text(), "Temperature = 71");
  main.cmd488_2Cmds_Click();  // the window is only shown again: it asks nothing
  EXPECT_EQ(tap.take(), (defaultLoadTraffic() + Lines{"show frm488_2Cmds",
                                                      sent("*ESE 64", 5),
                                                      sent("*IDN?", 5),
                                                      recv256(5),
                                                      "ReadStatusByte(0, 5)",
                                                      "FindLstn(0, 31)",
                                                      sent("*RST", 5),
                                                      sent("SYST:COMM:SER:BAUD?", 5),
                                                      recv80(5),
                                                      sent("SYST:COMM:SER:RS485?", 5),
                                                      recv80(5),
                                                      sent("SYST:COMM:SER:UPDATE", 5),
                                                      "beep",
                                                      "pause 0.1",
                                                      "DevClear(0, 5)",
                                                      "pause 1",
                                                      "hide frm488_2Cmds",
                                                      sent("R  100, 1", 5),
                                                      "pause 0.1",
                                                      recv256(5),
                                                      "show frm488_2Cmds"}));
  EXPECT_EQ(win.txtNewAddr->text(), "5");
}

}  // namespace
}  // namespace setup_test
