#include "ConsoleFixture.h"

namespace console_tests {
namespace {

struct QueryRow {
  const char* button;
  const char* line;
  const char* label;
  bool checks;
};

const QueryRow kQueries[] = {
    {"cmdRdModel", "R  0, 1", "Model# = ", true},
    {"cmdRdSN", "R  1, 2", "Serial Number = ", true},
    {"cmdRdSoft", "R  3, 1", "Software Revision = ", true},
    {"cmdRdRev", "R  4, 1", "Revision Code = ", true},
    {"cmdRdDate", "R  5, 1", "Mfgr Date = ", true},
    {"cmdRdSetPt", "R  300, 1", "Setpoint = ", false},
    {"cmdRdTemp", "R  100, 1", "Temperature = ", false},
};

QPushButton* button(console::MainWindow& w, const char* name) {
  return qobject_cast<QPushButton*>(w.control(name));
}

TEST_F(ConsoleTest, EachQuerySendsItsLineAndLabelsTheReply) {
  discover();
  for (const auto& q : kQueries) {
    window.txtResults->setText("old");
    bus.reply("5270\r\n  ");
    button(window, q.button)->click();
    EXPECT_EQ(rec.take(), (Lines{sent(q.line), kPause, kRecv})) << q.button;
    EXPECT_EQ(results(), std::string(q.label) + "5270\r") << q.button;
  }
  EXPECT_EQ(rec.beeps(), 0);
}

struct ReplyRow {
  std::string reply;
  std::string shown;  // empty: the fallback ran
};

TEST_F(ConsoleTest, RepliesAreTrimmedAndCutAtTheFirstLineFeed) {
  discover();
  const ReplyRow rows[] = {
      {"123\n", "Temperature = 123"},
      {"  123",
       "Temperature = "
       "  123"},
      {"1234\r\n", "Temperature = 1234\r"},
      {"\n", "Temperature = "},
      {"a\nb", "Temperature = a"},
      {std::string("7\xB0\n", 3), std::string("Temperature = 7\xB0", 16)},
      {"    ", ""},
  };
  for (const auto& row : rows) {
    bus.reply(row.reply);
    if (row.shown.empty()) bus.reply("3\n");
    window.cmdRdTemp->click();
    EXPECT_EQ(results(), row.shown) << row.reply;
    if (row.shown.empty()) {
      EXPECT_EQ(error(), "Modbus Error 3\n");
    }
  }
}

// An empty reply asks "E?" at once and shows the answer with a beep; the checked variant
// reports driver errors after each of its sends and reads, the plain one never does.
TEST_F(ConsoleTest, EmptyReplyFallbackPerVariant) {
  discover();
  for (const auto& q : kQueries) {
    window.txtError->setVisible(false);
    bus.failNext("Receive", bus::EABO, bus::TIMO);
    bus.reply("101\n");
    button(window, q.button)->click();
    const Lines expected =
        q.checks ? Lines{sent(q.line), kPause, kRecv, "ibonl(0, 0)", sent("E?"), kRecv, "beep"}
                 : Lines{sent(q.line), kPause, kRecv, sent("E?"), kRecv, "beep"};
    EXPECT_EQ(rec.take(), expected) << q.button;
    EXPECT_EQ(error(), "Modbus Error 101\n") << q.button;
    EXPECT_TRUE(window.txtError->isVisibleTo(&window));
    EXPECT_EQ(results(), "");
  }
}

TEST_F(ConsoleTest, CheckedQueryReportsAFailedSendAndGoesOn) {
  discover();
  bus.failNext("Send", bus::ENOL);
  bus.reply("1\n");
  window.cmdRdSoft->click();
  EXPECT_EQ(rec.take(), (Lines{sent("R  3, 1"), "ibonl(0, 0)", kPause, kRecv}));
  EXPECT_EQ(error(), "ReadStatusByte Error   CMPL >iberr =  2 ENOL <No Listener>ibcnt =  0");
  EXPECT_EQ(results(), "Software Revision = 1");
  // The fallback's own checks: its read of the "E?" answer times out.
  bus.reply("");
  bus.failNext("Send", bus::ENOL);
  window.cmdRdRev->click();
  EXPECT_EQ(rec.take(), (Lines{sent("R  4, 1"), "ibonl(0, 0)", kPause, kRecv, sent("E?"), kRecv,
                               "ibonl(0, 0)", "beep"}));
  EXPECT_EQ(error(), "Modbus Error ");
}

struct ModelRow {
  std::string reply;
  int model;
  std::string shown;
};

TEST_F(ConsoleTest, ReadModelRefreshesModelNumberHalvesToEven) {
  discover();
  const ModelRow rows[] = {
      {"5270.5\n", 5270, "Model# = 5270.5"}, {"5271.5\n", 5272, "Model# = 5271.5"},
      {"-3\n", -3, "Model# = -3"},           {"abc\n", 0, "Model# = abc"},
      {"40000\n", 0, "Model# = 40000"},      {"1e39\n", 0, "Model# = 1e39"},
  };
  for (const auto& row : rows) {
    window.txtError->clear();
    bus.reply(row.reply);
    window.cmdRdModel->click();
    EXPECT_EQ(results(), row.shown);
    EXPECT_EQ(gpib.ModelNumber, row.model) << row.reply;
    if (row.reply == "40000\n" || row.reply == "1e39\n")
      EXPECT_EQ(error(), "Model number out of range (-32768 to 32767): " +
                             row.reply.substr(0, row.reply.size() - 1));
    else
      EXPECT_EQ(error(), "");
  }
}

struct ErrorRegisterRow {
  std::string reply;
  std::string shown;
  const char* explanation;
};

TEST_F(ConsoleTest, ErrorRegisterIsDecoded) {
  discover();
  const ErrorRegisterRow rows[] = {
      {"0\n", "0", "No Error"},
      {"1\n", "1", "Exception Code #1"},
      {"2\n", "2", "Exception Code #2"},
      {"3\n", "3", "Exception Code #3"},
      {"100\n", "100", "CRC Error"},
      {"101\n", "101", "Timeout Error"},
      {"200\n", "200", "Undefined Error"},
      {"201\n", "201", "Partial message received"},
      {"299.5\n", "299.5", "Partial message received"},
      {"300\n", "300", "Undefined Error"},
      {"1.5\n", "1.5", "Undefined Error"},
      {"-1\n", "-1", "Undefined Error"},
      {"", "", "No Error"},
      {"x7\n", "x7", "No Error"},
      {"1e400\n", "1e400", "Undefined Error"},
  };
  for (const auto& row : rows) {
    window.txtError->setVisible(true);
    window.lblErrReg->setVisible(true);
    bus.reply(row.reply);
    window.cmdRdErr->click();
    EXPECT_EQ(rec.take(), (Lines{sent("E?"), kRecv})) << row.reply;
    EXPECT_EQ(results(), "Modbus Error Register = " + row.shown + "\r\n" + row.explanation);
    EXPECT_FALSE(window.txtError->isVisibleTo(&window));
    EXPECT_FALSE(window.lblErrReg->isVisibleTo(&window));
    EXPECT_EQ(rec.beeps(), 0);
  }
}

TEST_F(ConsoleTest, ErrorRegisterQueryWhoseSendFails) {
  discover();
  window.txtResults->setText("old");
  window.txtError->setText("kept");
  window.lblErrReg->setVisible(true);
  bus.failNext("Send", bus::ENOL);
  window.cmdRdErr->click();
  EXPECT_EQ(rec.take(), (Lines{sent("E?")}));
  EXPECT_EQ(results(), "");
  EXPECT_EQ(error(), "kept");
  EXPECT_FALSE(window.lblErrReg->isVisibleTo(&window));
  EXPECT_EQ(rec.beeps(), 0);
}

struct AddressRow {
  const char* entry;
  const char* line;  // nullptr: refused
  int device;
};

TEST_F(ConsoleTest, ModbusAddressEntries) {
  const AddressRow rows[] = {
      {"", "C  0", 0},
      {"2.5", "C  2", 2},
      {"3.5", "C  4", 4},
      {"-1", "C -1", -1},
      {"12abc", "C  12", 12},
      {"17", "C  17", 17},
      {"abc", "C  0", 0},
      {"32767", "C  32767", 32767},
      {"70000", nullptr, 32767},
      {"1e39", nullptr, 32767},
      {"-32768.5", "C -32768", -32768},
  };
  for (const auto& row : rows) {
    window.txtResults->setText("old");
    window.txtCurAddr->setText(row.entry);
    window.cmdChgAddr->click();
    EXPECT_EQ(window.MBDevice, row.device) << row.entry;
    EXPECT_EQ(results(), "");
    if (row.line) {
      EXPECT_EQ(rec.take(), (Lines{sent(row.line)})) << row.entry;
      EXPECT_EQ(error(), "");
    } else {
      EXPECT_EQ(rec.take(), (Lines{"beep"})) << row.entry;
      EXPECT_EQ(error(), "Modbus address out of range (-32768 to 32767): nothing sent");
      EXPECT_TRUE(window.txtError->isVisibleTo(&window));
    }
  }
}

TEST_F(ConsoleTest, SetEnablesTheIdentityQueriesAndTheAssemblerEvenWhenTheSendFails) {
  window.txtCurAddr->setText("5");
  bus.failNext("Send", bus::ENOL);
  window.cmdChgAddr->click();
  EXPECT_EQ(rec.take(), (Lines{sent("C  5"), "ibonl(0, 0)"}));
  EXPECT_EQ(error(), "ReadStatusByte Error   CMPL >iberr =  2 ENOL <No Listener>ibcnt =  0");
  EXPECT_EQ(window.MBDevice, 5);
  for (QWidget* c : std::initializer_list<QWidget*>{
           window.cmdRdModel, window.cmdRdSN, window.cmdRdSoft, window.cmdRdRev, window.cmdRdDate,
           window.cmdClr, window.optCmdRead, window.optCmdWrt, window.optDecimal, window.optHex})
    EXPECT_TRUE(c->isEnabledTo(c->parentWidget())) << c->objectName().toStdString();
  for (QWidget* c : std::initializer_list<QWidget*>{window.cmdRdTemp, window.cmdRdSetPt,
                                                    window.cmdRdErr, window.cmdSend})
    EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
}

}  // namespace
}  // namespace console_tests
