// The setup window on the scripted bus: its load, each click, and its life under the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <iterator>
#include <sstream>

#include "BusHarness.h"
#include "Controls.h"
#include "Layout.h"
#include "MainWindow.h"
#include "MultiLineBox.h"
#include "SetupWindow.h"
#include "TestBus.h"

namespace {

using namespace testing_support;

std::string operator|(const std::string& a, const std::string& b) { return a + " | " + b; }
// An option action hands the setting over and reads it back directly.
std::string set(const std::string& what, const std::string& value) {
  return ">SYST:COMM:SER:" + what + " " + value + " | >SYST:COMM:SER:" + what + "? | <80";
}
const std::string kSre = ">*SRE? | <", kEse = ">*ESE? | <", kBaud = ">SYST:COMM:SER:BAUD? | <",
                  kMode = ">SYST:COMM:SER:RS485? | <", kFailed = " | ibonl(0, 0)";
const std::string kLoad = kSre | kEse | kBaud | set("BAUD", "9600") | kMode | set("RS485", "ON");
const char* const kReplies = "32,255,9600,9600,1,1";
// A reply as the 256-byte read leaves it.
std::string padded(const std::string& r) { return r + std::string(256 - r.size(), ' '); }

struct Setup : ::testing::Test, QObject {
  ~Setup() override { b.tap.during = nullptr, delete w.data(); }
  // The converter's replies, one line each, separated by commas.
  void replies(const std::string& lines) {
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line, ',');) b.driver.reply(line + "\n");
  }
  std::string results() { return text(*w, "txtResults2"); }
  // A message box as the operator sees it: "-" while hidden; of a bus report, its title.
  std::string shown(const char* box) { return visible(*w, box) ? text(*w, box) : "-"; }
  std::string title() { return shown("txtGPIBErr").substr(0, shown("txtGPIBErr").find("   ")); }
  // Text set before a busy wait or the search reaches the screen only by an immediate repaint:
  // what txtResults2 showed when the first of them began, and whether it had been painted.
  Setup() {
    b.tap.during = [this](const std::string& e) {
      if (w && seen.empty() && (e == "~0.1" || e.starts_with("FindLstn")))
        seen = results() + (paints ? " (painted)" : "");
    };
  }
  bool eventFilter(QObject*, QEvent* e) override {
    return paints += e->type() == QEvent::Paint, false;
  }
  BusHarness<TestBus> b;
  QPointer<setup::SetupWindow> w;
  int paints = 0;
  std::string seen;
};

// A failed *SRE? leaves its box; a rate not offered selects nothing: "Set" has none to send.
TEST_F(Setup, LoadReadsTheRegistersAndSelectsTheReportedSettings) {
  const struct {
    const char* replies;
    std::string traffic, state;
  } rows[] = {
      {kReplies, kLoad | ">SYST:COMM:SER 9600", "- - 32 255 9600 Enabled"},
      {" 1.50E+1,abc,19200,19200,0,0",
       kSre | kEse | kBaud | set("BAUD", "19200") | kMode | set("RS485", "OFF") |
           ">SYST:COMM:SER 19200",
       "- - 15 0 19200 Disabled"},
      {"255,4800,1,1", (kSre + kFailed) | kEse | kBaud | kMode | set("RS485", "ON"),
       "Unexpected baud rate = " + padded("4800\n") + " SRE Read Error  255 Enabled"},
      {"32,255,9600,9600,2",
       kSre | kEse | kBaud | set("BAUD", "9600") | kMode | ">SYST:COMM:SER 9600",
       "Unexpected RS485 Response = " + padded("2\n") + " - 32 255 9600"},
  };
  for (const auto& row : rows) {
    if (row.traffic.starts_with(kSre + kFailed)) b.driver.failNext("Receive", bus::EABO);
    delete w.data();
    replies(row.replies), w = new setup::SetupWindow(b.gpib);
    EXPECT_EQ(results() + text(*w, "txtNewAddr") + (w->cmdFindLstn->isEnabled() ? "" : "!"), " 4");
    click(*w, "cmdSetBaud");
    std::string state =
        shown("txtError") + " " + title() + " " + text(*w, "txtSRE") + " " + text(*w, "txtESE");
    for (auto* option : {w->opt9600, w->opt19200, w->optModeEna, w->optModeDis})
      if (option->isChecked()) state += " " + option->text().toStdString();
    EXPECT_EQ(b.tap.take() | state, row.traffic | row.state);
  }
  // Run on a window that already holds texts, the load starts from empty boxes.
  w->txtResults2->setText("old");
  b.tap.during = [this](auto&) { seen += "[" + results() + shown("txtError") + "]"; };
  replies("32,255,9600,1,1"), w->Form_Load();
  EXPECT_EQ(seen.substr(0, 2), "[]");
}

// One click each on the window the main window opens, from the same start: "old" in txtResults2
// and in a shown txtError, txtGPIBErr hidden, txtESE and txtSRE "8", txtPSC "1", the focus on
// "Return". The input is typed into the button's entry, or else is the converter's replies;
// "!Call" makes that driver call fail. The last column lists every other control that changed.
TEST_F(Setup, EachClickSendsReadsAndShowsItsOutcome) {
  console::MainWindow main{b.gpib};
  replies(kReplies), main.cmd488_2Cmds_Click();
  auto& w = *(this->w = main.setupWindow());
  w.txtResults2->viewport()->installEventFilter(this);
  EXPECT_EQ(b.tap.take(), kLoad | "show frm488_2Cmds");
  EXPECT_EQ(layoutProblems(&w), std::vector<std::string>{});
  const std::string f = kFailed, ok = "txtError=;", rst = ">*RST | " + kBaud + "80",
                    rsb = "txtGPIBErr=ReadStatusByte Error;", rst485 = kMode + "80",
                    bad = "txtError=Invalid value, retry ;focus=",
                    badAddr = "txtError=Invalid address value, retry ;focus=txtNewAddr;selected=",
                    wait = "shown at the wait=Please wait a moment (painted);";
  const struct {
    const char *button, *input;
    std::string traffic, results, changed = "";
  } rows[] = {
      {"cmdCLR", "", ">*CLS", "Unit sent the *CLS command"},
      {"cmdESE", "16", kEse, "ESE = 16", "txtESE=16;"},
      {"cmdIDN", "ORVANE 5630  ", ">*IDN? | <", "IDN = " + padded("ORVANE 5630  \n")},
      {"cmdSRE", "48", kSre, "SRE = 48", "txtSRE=48;"},
      {"cmdSRE", "!Receive", kSre + f, "old", "txtGPIBErr=SRE Read Error;"},
      {"cmdSTB", "64", ">*STB? | <", "STB = 64"},
      {"cmdSTB", "!Receive", ">*STB? | <" + f, "old", rsb},
      {"cmdSav", "!Send", ">*SAV 0" + f, "Current Configuration Saved", rsb},
      {"cmdSetESE", "!Send", ">*ESE  8" + f, "", rsb + ok},
      {"cmdSetSRE", "!Send", ">*SRE  8" + f, "", rsb + ok},
      {"cmdSetPSC", "!Send", ">*PSC  1" + f, "", rsb + "txtPSC= 1;" + ok},  // not said to be set
      {"cmdSetBaud", "!Send", ">SYST:COMM:SER 9600" + f, "Baud Rate Set", rsb},
      {"cmdSetAddr", "!Send", ">*ESE 64" + f, "old", "txtGPIBErr=SendCmd Error;" + ok},
      {"cmdSerialPoll", "", "ReadStatusByte(0, 4)", "Serial Poll Response=  64"},
      {"cmdSerialPoll", "!ReadStatusByte", "ReadStatusByte(0, 4)" + f, "Serial Poll Response=  0",
       rsb},
      {"cmdRST", "9600,1", rst | rst485, "Unit Reset\r\nBaud Rate = 9600\r\nRS-485 Mode Enabled"},
      {"optModeDis", "1   ", set("RS485", "OFF"), "RS485 mode is enabled"},
      // A rate that changes runs its option action, and the reset's line follows that result.
      {"cmdRST", "19200,19200,0", rst | set("BAUD", "19200") | rst485,
       "Baud Rate = 19200\r\nBaud Rate = 19200\r\nRS-485 Mode Disabled"},
      {"opt9600", "1200", set("BAUD", "9600"), "Baud Rate = 1200\r\nBaud rate needs setting"},
      {"opt19200", "9600", set("BAUD", "19200"), "Baud Rate = 9600"},
      {"cmdRST", "4800,0", rst | rst485,
       "Unit Reset\r\nBaud rate needs setting\r\nRS-485 Mode Disabled"},
      {"cmdRST", "4800,1,1", rst | rst485 | set("RS485", "ON"), "RS485 mode is enabled"},
      // Any mode but 1 selects "Disabled", whose action replaces the text.
      {"cmdRST", "4800,2,0", rst | rst485 | set("RS485", "OFF"), "RS485 mode is disabled"},
      {"cmdSetESE", "255", ">*ESE  255", "", ok},
      {"cmdSetESE", "0", ">*ESE  0", "", ok},
      {"cmdSetESE", "256", "beep", "", bad + "txtESE;"},
      {"cmdSetESE", "-1", "beep", "", bad + "txtESE;"},
      {"cmdSetSRE", "0", ">*SRE  0", "", ok},
      {"cmdSetSRE", "255", "beep", "", bad + "txtSRE;"},
      {"cmdSetPSC", "0.5", ">*PSC  .5", "", "txtPSC= .5;" + ok},
      {"cmdSetPSC", "1", ">*PSC  1", "Device set to clear SRE and ESE values at power turn-on",
       "txtPSC= 1;" + ok},
      {"cmdSetPSC", "0", ">*PSC  0",
       "Device set to restore the saved SRE and ESE values at power turn-on", "txtPSC= 0;" + ok},
      {"cmdSetPSC", "1.5", "beep", "", bad + "txtPSC;"},
      {"cmdSetAddr", "30", ">@30 *ESE 64", "old", ok},
      {"cmdSetAddr", "30.6", ">@31 *ESE 64", "old", ok},
      {"cmdSetAddr", "", ">@0 *ESE 64", "old", ok},
      {"cmdSetAddr", "31", "beep", "old", badAddr + "31;"},
      {"cmdSetAddr", "-1", "beep", "old", badAddr + "-1;"},
      {"cmdSetAddr", "101", "beep", "old", badAddr + "101;"},  // 101 to 3029: the secondary form
      {"cmdSetAddr", "3029", "beep", "old", badAddr + "3029;"},
      // The board's own address 0 is left out; the search runs from 0 to 30.
      {"cmdFindLstn", "0", "FindLstn(0, 31)", "Found devices at addresses = ", wait},
      {"cmdFindLstn", "0 4", "FindLstn(0, 31)", "Found devices at addresses =  4 ", wait},
      {"cmdFindLstn", "0 4 7", "FindLstn(0, 31)", "Found devices at addresses =  4  7 ", wait},
      {"cmdFindLstn", "1 30 31", "FindLstn(0, 31)", "Found devices at addresses =  1  30 ", wait},
      {"cmdExit", "!DevClear",
       ">SYST:COMM:SER:UPDATE | beep | ~0.1 | DevClear(0, 4)" + f + " | ~1 | hide frm488_2Cmds", "",
       "txtGPIBErr=DevClear Error;shown at the wait=Returning to main form (painted);"},
  };
  auto state = [&] {
    std::vector<std::string> all = {"txtGPIBErr=" + title(), "shown at the wait=" + seen};
    for (const char* box : {"txtESE", "txtSRE", "txtPSC", "txtNewAddr", "txtError"})
      all.push_back(box + ("=" + shown(box)));
    all.push_back("focus=" + w.focusWidget()->objectName().toStdString());
    all.push_back("selected=" + w.txtNewAddr->selectedText().toStdString());
    return all;
  };
  b.driver.statusByte = 64;
  for (const auto& row : rows) {
    type(w, "txtESE", "8"), type(w, "txtSRE", "8"), type(w, "txtPSC", "1");
    type(w, "txtNewAddr", " 4"), type(w, "txtError", "old"), type(w, "txtResults2", "old");
    w.txtError->show(), w.txtGPIBErr->hide(), w.cmdExit->setFocus(), b.gpib.ConverterAddr = 4;
    QApplication::processEvents(), paints = 0, seen = "";
    auto box = QString(row.button).replace("cmdSetAddr", "txtNewAddr").replace("cmdSet", "txt");
    const bool fails = *row.input == '!', typed = box.startsWith("txt") && w.control(box),
               search = box == "cmdFindLstn";
    std::istringstream listeners(row.input);
    if (search) b.driver.listeners.assign(std::istream_iterator<bus::Addr4882>(listeners), {});
    if (fails) b.driver.failNext(row.input + 1, bus::ENOL);
    if (typed && !fails) type(w, box, row.input);
    if (!fails && !typed && !search) replies(row.input);
    const auto before = state();
    click(w, row.button);
    std::string changed;
    for (size_t i = 0; i < before.size(); ++i)
      if (state()[i] != before[i]) changed += state()[i] + ";";
    EXPECT_EQ(b.tap.take() | results() | changed, row.traffic | row.results | row.changed);
  }
  EXPECT_EQ(b.driver.pendingReplies() + w.isVisible(), 0u);
  main.cmd488_2Cmds_Click();  // shown again as it was left, asking nothing
  EXPECT_EQ(b.tap.take() | text(w, "txtPSC"), "show frm488_2Cmds | 1");
  // The direct read passes the interface gate; the ordinary exchange then takes no stale reply.
  b.gpib.InterfaceName = "GPIB-", b.driver.reply("9600\n");
  click(w, "opt9600"), click(w, "cmdESR");
  EXPECT_EQ(b.tap.take() | results(), "<80 | ESR = 0");
  // Enter in an entry clicks no button, and Escape does not close the window.
  QTest::keyClick(w.txtNewAddr, Qt::Key_Return), QTest::keyClick(&w, Qt::Key_Escape);
  EXPECT_EQ(b.tap.take() + std::to_string(w.isVisible() && w.txtResults2->isReadOnly()), "1");
  // A count beyond the list, or below it, lists no more than there is; a failed search is reported
  // and leaves no "Please wait" behind.
  b.gpib.InterfaceName = "GPIB", b.tap.during = [this](auto&) { b.gpib.ibcnt = 32767; };
  click(w, "cmdFindLstn");
  EXPECT_EQ(results(), "Found devices at addresses =  1  30 ");
  b.tap.during = [this](auto&) { b.gpib.ibcnt = -1; }, click(w, "cmdFindLstn");
  EXPECT_EQ(results(), "Found devices at addresses = ");
  b.tap.during = nullptr, b.tap.take(), b.driver.failNext("FindLstn", bus::ECIC);
  click(w, "cmdFindLstn");
  EXPECT_EQ(b.tap.take() | results() | title(),
            "FindLstn(0, 31) | ibonl(0, 0) |  | FindLstn Error");
  // Closed by its frame, it goes without update or device clear; the next opening makes it anew.
  b.tap.take(), w.close(), QApplication::processEvents();
  replies(kReplies), main.cmd488_2Cmds_Click();
  EXPECT_EQ(b.tap.take() + (this->w ? " kept" : ""),
            "hide frm488_2Cmds" | kLoad | "show frm488_2Cmds");
}

}  // namespace
