// The converter's setup window on the scripted bus: what it asks when created, each button's
// exact traffic and outcome, and its life under the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <sstream>

#include "Bench.h"
#include "Controls.h"
#include "Layout.h"
#include "MainWindow.h"
#include "MultiLineBox.h"
#include "SetupWindow.h"
#include "TestBus.h"

namespace {

using namespace testing_support;

std::string join(std::initializer_list<std::string> events) {
  std::string all;
  for (const std::string& event : events) all += (all.empty() ? "" : " | ") + event;
  return all;
}
// An option action hands the setting over and reads it back directly.
std::string set(const std::string& what, const std::string& value) {
  return ">SYST:COMM:SER:" + what + " " + value + " | >SYST:COMM:SER:" + what + "? | <80";
}
const std::string kSre = ">*SRE? | <", kEse = ">*ESE? | <", kBaud = ">SYST:COMM:SER:BAUD? | <",
                  kMode = ">SYST:COMM:SER:RS485? | <", kFailed = "ibonl(0, 0)";
const std::string kLoad = join({kSre, kEse, kBaud, set("BAUD", "9600"), kMode, set("RS485", "ON")});
const char* const kReplies = "32,255,9600,9600,1,1";
// A reply as the 256-byte read leaves it.
std::string padded(const std::string& reply) {
  return reply + std::string(256 - reply.size(), ' ');
}

// Text set before a busy wait reaches the screen only by an immediate repaint.
struct Paints : QObject {
  int n = 0;
  bool eventFilter(QObject*, QEvent* e) override { return n += e->type() == QEvent::Paint, false; }
};

struct Setup : ::testing::Test {
  ~Setup() override { b.tap.during = nullptr, delete w.data(); }
  // The converter's replies, one line each, separated by commas.
  void replies(const std::string& lines) {
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line, ',');) b.driver.reply(line + "\n");
  }
  setup::SetupWindow& open(const std::string& lines = kReplies) {
    delete w.data();
    replies(lines);
    w = new setup::SetupWindow(b.gpib);
    w->show();
    loaded = b.tap.take();
    return *w;
  }
  std::string results() { return text(*w, "txtResults2"); }
  // A message box as the operator sees it: "-" while hidden; of a bus report, its title.
  std::string shown(const char* box) { return visible(*w, box) ? text(*w, box) : "-"; }
  std::string title() { return shown("txtGPIBErr").substr(0, shown("txtGPIBErr").find("   ")); }
  // Keeps what txtResults2 of `win` showed at the event `at`, and whether it had been painted.
  void watch(setup::SetupWindow& win, const std::string& at) {
    QApplication::processEvents();
    paints.n = 0;
    win.txtResults2->viewport()->installEventFilter(&paints);
    b.tap.during = [this, &win, at](const std::string& event) {
      if (event == at) seen = text(win, "txtResults2") + (paints.n > 0 ? " (painted)" : "");
    };
  }
  Bench<TestBus> b;
  QPointer<setup::SetupWindow> w;
  Paints paints;
  std::string loaded, seen;
};

// Each row is one window's life: created, then "Set" in the baud group, then "*RST".
TEST_F(Setup, LoadReadsTheSettingsAndResetReadsThemBackDirectly) {
  const std::string rst = ">*RST | >SYST:COMM:SER:BAUD? | <80", rst485 = kMode + "80";
  const struct {
    const char* replies;
    std::string load, state, then, results;
  } rows[] = {
      {"32,255,9600,9600,1,1,9600,1", kLoad, "32 255 9600 Enabled - -",
       join({">SYST:COMM:SER 9600", rst, rst485}),
       "Unit Reset\r\nBaud Rate = 9600\r\nRS-485 Mode Enabled"},
      // A changed rate runs its option action, and the reset's line follows that result.
      {" 1.50E+1,abc,19200,19200,0,0,9600,9600,0",
       join({kSre, kEse, kBaud, set("BAUD", "19200"), kMode, set("RS485", "OFF")}),
       "15 0 19200 Disabled - -", join({">SYST:COMM:SER 19200", rst, set("BAUD", "9600"), rst485}),
       "Baud Rate = 9600\r\nBaud Rate = 9600\r\nRS-485 Mode Disabled"},
      // A failed *SRE? leaves its box; a rate not offered selects nothing: "Set" sends nothing.
      {"255,4800,1,1,4800,1", join({kSre, kFailed, kEse, kBaud, kMode, set("RS485", "ON")}),
       " 255 Enabled Unexpected baud rate = " + padded("4800\n") + " SRE Read Error",
       join({rst, rst485}), "Unit Reset\r\nBaud rate needs setting\r\nRS-485 Mode Enabled"},
      // Any mode but 1 selects "Disabled" after the reset, whose action replaces the text.
      {"32,255,9600,9600,2,19200,19200,2,0", join({kSre, kEse, kBaud, set("BAUD", "9600"), kMode}),
       "32 255 9600 Unexpected RS485 Response = " + padded("2\n") + " -",
       join({">SYST:COMM:SER 9600", rst, set("BAUD", "19200"), rst485, set("RS485", "OFF")}),
       "RS485 mode is disabled"},
  };
  for (const auto& row : rows) {
    if (row.state.ends_with("Error")) b.driver.failNext("Receive", bus::EABO);
    auto& w = open(row.replies);
    EXPECT_EQ(loaded, row.load);
    std::string state = text(w, "txtSRE") + " " + text(w, "txtESE");
    for (auto* option : {w.opt9600, w.opt19200, w.optModeEna, w.optModeDis})
      if (option->isChecked()) state += " " + option->text().toStdString();
    EXPECT_EQ(state + " " + shown("txtError") + " " + title(), row.state);
    EXPECT_EQ(results() + text(w, "txtNewAddr"), " 4");
    EXPECT_TRUE(enabled(w, "cmdFindLstn"));
    click(w, "cmdSetBaud");
    click(w, "cmdRST");
    EXPECT_EQ(b.tap.take(), row.then);
    EXPECT_EQ(results(), row.results);
    EXPECT_EQ(b.driver.pendingReplies(), 0u);
  }
  // Run on a window that already holds texts, the load starts from empty boxes.
  w->txtResults2->setText("old");
  b.tap.during = [this](const std::string&) {
    if (seen.empty()) seen = results() + shown("txtError") + "|";
  };
  replies("32,255,9600,1,1");
  w->Form_Load();
  EXPECT_EQ(seen, "|");
}

TEST_F(Setup, EachButtonSendsReadsAndReportsAFailedCallUnderItsTitle) {
  auto& w = open();
  const std::string idn = "ORVANE,5630,0,1.2  \n", f = " | " + kFailed,
                    rsb = "ReadStatusByte Error";
  const struct {
    const char *button, *reply, *fails;  // a reply queued, or the driver call made to fail
    std::string traffic, results, title = "-", entries = "8 8";
  } rows[] = {
      {"cmdCLR", nullptr, nullptr, ">*CLS", "Unit sent the *CLS command"},
      {"cmdESE", "16\n", nullptr, kEse, "ESE = 16", "-", "16 8"},
      {"cmdESR", "0.5\n", nullptr, ">*ESR? | <", "ESR = 0.5"},
      {"cmdIDN", idn.c_str(), nullptr, ">*IDN? | <", "IDN = " + padded(idn)},
      {"cmdSRE", "48\n", nullptr, kSre, "SRE = 48", "-", "8 48"},
      {"cmdSRE", nullptr, "Receive", kSre + f, "old", "SRE Read Error"},
      {"cmdSTB", "64\n", nullptr, ">*STB? | <", "STB = 64"},
      {"cmdSTB", nullptr, "Receive", ">*STB? | <" + f, "old", rsb},
      {"cmdSav", nullptr, "Send", ">*SAV 0" + f, "Current Configuration Saved", rsb},
      {"cmdSetESE", nullptr, "Send", ">*ESE  8" + f, "", rsb},
      {"cmdSetSRE", nullptr, "Send", ">*SRE  8" + f, "", rsb},
      {"cmdSetPSC", nullptr, "Send", ">*PSC  0" + f, "", rsb},  // and not said to be set
      {"cmdSetBaud", nullptr, "Send", ">SYST:COMM:SER 9600" + f, "Baud Rate Set", rsb},
      {"cmdSetAddr", nullptr, "Send", ">*ESE 64" + f, "old", "SendCmd Error"},
      {"cmdSerialPoll", nullptr, nullptr, "ReadStatusByte(0, 4)", "Serial Poll Response=  64"},
      {"cmdSerialPoll", nullptr, "ReadStatusByte", "ReadStatusByte(0, 4)" + f,
       "Serial Poll Response=  0", rsb},
      {"opt19200", "1200\n", nullptr, set("BAUD", "19200"),
       "Baud Rate = 1200\r\nBaud rate needs setting"},
      {"opt9600", "9600\n", nullptr, set("BAUD", "9600"), "Baud Rate = 9600"},
      {"opt19200", "19200\n", nullptr, set("BAUD", "19200"), "Baud Rate = 19200"},
      {"optModeDis", "1   \n", nullptr, set("RS485", "OFF"), "RS485 mode is enabled"},
      {"optModeEna", "2\n", nullptr, set("RS485", "ON"), "RS485 mode is disabled"},
      {"cmdExit", nullptr, "DevClear",
       ">SYST:COMM:SER:UPDATE | beep | ~0.1 | DevClear(0, 4)" + f + " | ~1 | hide frm488_2Cmds", "",
       "DevClear Error"},
  };
  b.driver.statusByte = 64;
  for (const auto& row : rows) {
    w.txtResults2->setText("old");
    w.txtGPIBErr->hide();
    type(w, "txtESE", "8"), type(w, "txtSRE", "8");
    if (row.reply) b.driver.reply(row.reply);
    if (row.fails) b.driver.failNext(row.fails, bus::ENOL);
    click(w, row.button);
    EXPECT_EQ(b.tap.take(), row.traffic);
    EXPECT_EQ(results(), row.results);
    EXPECT_EQ(title() + " " + text(w, "txtESE") + " " + text(w, "txtSRE"),
              row.title + " " + row.entries);
  }
  EXPECT_FALSE(w.isVisible());
  // The direct read passes the interface gate that stops the ordinary exchange, and the
  // ordinary exchange then takes no stale reply for its own.
  b.gpib.InterfaceName = "GPIB-";
  b.driver.reply("9600\n");
  click(w, "opt9600");
  click(w, "cmdESR");
  EXPECT_EQ(b.tap.take() + " " + results(), "<80 ESR = 0");
}

TEST_F(Setup, SetValuesAndAddressesInRangeAreSentAndTheRestRefused) {
  auto& w = open();
  const struct {
    const char *button, *typed;
    std::string traffic, results = "";  // "beep": refused
    const char* after = nullptr;        // the entry afterwards, when not as typed
  } rows[] = {
      {"cmdSetESE", "255", ">*ESE  255"},
      {"cmdSetESE", "0", ">*ESE  0"},
      {"cmdSetESE", "3.5", ">*ESE  3.5"},
      {"cmdSetESE", "256", "beep"},
      {"cmdSetESE", "-1", "beep"},
      {"cmdSetESE", "255.99999999", "beep"},  // 256 once it is a single-precision value
      {"cmdSetSRE", "0", ">*SRE  0"},
      {"cmdSetSRE", "255", "beep"},
      {"cmdSetSRE", "-1", "beep"},
      {"cmdSetPSC", "0.5", ">*PSC  .5", "", " .5"},
      {"cmdSetPSC", "1", ">*PSC  1", "Device set to clear SRE and ESE values at power turn-on",
       " 1"},
      {"cmdSetPSC", "0", ">*PSC  0",
       "Device set to restore the saved SRE and ESE values at power turn-on", " 0"},
      {"cmdSetPSC", "1.5", "beep"},
      {"cmdSetAddr", "30", ">@30 *ESE 64", "old"},
      {"cmdSetAddr", "30.4", ">@30 *ESE 64", "old"},
      {"cmdSetAddr", "30.6", ">@31 *ESE 64", "old"},
      {"cmdSetAddr", "", ">@0 *ESE 64", "old"},
      {"cmdSetAddr", "31", "beep", "old"},
      {"cmdSetAddr", "-1", "beep", "old"},
      {"cmdSetAddr", "101", "beep", "old"},  // 101 to 3029 would carry a secondary address
      {"cmdSetAddr", "3029", "beep", "old"},
      {"cmdSetAddr", "3030", "beep", "old"},
  };
  for (const auto& row : rows) {
    const bool address = row.button == std::string("cmdSetAddr"), refused = row.traffic == "beep";
    const QString name = address ? "txtNewAddr" : QString("txt") + (row.button + 6);
    auto* entry = qobject_cast<QLineEdit*>(w.control(name));
    w.txtResults2->setText("old");
    w.txtError->setText("old"), w.txtError->show();
    w.cmdExit->setFocus();
    type(w, name, row.typed);
    click(w, row.button);
    EXPECT_EQ(b.tap.take(), row.traffic) << row.typed;
    EXPECT_EQ(results(), row.results);
    EXPECT_EQ(entry->text().toStdString(), row.after ? row.after : row.typed);
    EXPECT_EQ(shown("txtError"), !refused  ? ""
                                 : address ? "Invalid address value, retry "
                                           : "Invalid value, retry ");
    EXPECT_EQ(w.focusWidget(), refused ? static_cast<QWidget*>(entry) : w.cmdExit);
    EXPECT_EQ(entry->selectedText().toStdString(), refused && address ? row.typed : "");
  }
}

TEST_F(Setup, ListenerSearchListsEveryListenerButTheBoard) {
  auto& w = open();
  const std::pair<std::vector<bus::Addr4882>, std::string> rows[] = {
      {{0}, ""},
      {{0, 4}, " 4 "},
      {{0, 4, 7}, " 4  7 "},
      {{4, 30, 31}, " 4  30 "},  // a driver that leaves the board out; 31 is past the search
  };
  for (const auto& [listeners, found] : rows) {
    watch(w, "FindLstn(0, 31)");
    b.driver.listeners = listeners;
    click(w, "cmdFindLstn");
    EXPECT_EQ(b.tap.take(), "FindLstn(0, 31)");
    EXPECT_EQ(seen + "|" + results(),
              "Please wait a moment (painted)|Found devices at addresses = " + found);
  }
  // A count beyond what the list holds does not take the listing past it.
  b.tap.during = [this](const std::string&) { b.gpib.ibcnt = 32767; };
  click(w, "cmdFindLstn");
  EXPECT_EQ(results(), "Found devices at addresses =  4  30 ");
  b.driver.failNext("FindLstn", bus::ECIC);
  click(w, "cmdFindLstn");
  EXPECT_EQ(results().find("Found"), std::string::npos) << "a failed search lists nothing";
}

TEST_F(Setup, MainWindowCreatesItOnceReturnHidesItAndItsFrameDestroysIt) {
  console::MainWindow main{b.gpib};
  auto openFromMain = [&] {
    replies(kReplies);
    main.cmd488_2Cmds_Click();
    return QPointer<setup::SetupWindow>(main.setupWindow());
  };
  QPointer<setup::SetupWindow> win = openFromMain();
  EXPECT_EQ(b.tap.take(), kLoad + " | show frm488_2Cmds");
  // The new address holds for both windows, the return's device clear included.
  type(*win, "txtNewAddr", "5");
  click(*win, "cmdSetAddr");
  watch(*win, "~0.1");
  click(*win, "cmdExit");
  b.tap.during = nullptr;
  EXPECT_EQ(seen + "|" + text(*win, "txtResults2"), "Returning to main form (painted)|");
  b.driver.reply("71\n");
  main.cmdRdTemp_Click();
  EXPECT_EQ(text(main, "txtResults"), "Temperature = 71");
  EXPECT_EQ(openFromMain(), win);  // shown again as it was left, asking nothing
  EXPECT_EQ(b.tap.take(),
            ">@5 *ESE 64 | >@5 SYST:COMM:SER:UPDATE | beep | ~0.1 | DevClear(0, 5) | ~1 | hide "
            "frm488_2Cmds | >@5 R  100, 1 | ~0.1 | <@5 | show frm488_2Cmds");
  EXPECT_EQ(text(*win, "txtNewAddr"), "5");
  win->close();  // by its frame: no update, no device clear, and the window goes
  QApplication::processEvents();
  EXPECT_TRUE(win.isNull());
  b.gpib.ConverterAddr = 4;
  openFromMain();
  EXPECT_EQ(b.tap.take(), "hide frm488_2Cmds | " + kLoad + " | show frm488_2Cmds");
}

TEST_F(Setup, FitsItsLayoutAndNoKeyGoesRoundTheButtons) {
  auto& w = open();
  EXPECT_EQ(layoutProblems(&w), std::vector<std::string>{});
  EXPECT_TRUE(w.txtResults2->isReadOnly());
  QTest::keyClick(w.txtNewAddr, Qt::Key_Return);
  QTest::keyClick(&w, Qt::Key_Escape);
  EXPECT_EQ(b.tap.take(), "");
  EXPECT_TRUE(w.isVisible());
}

}  // namespace
