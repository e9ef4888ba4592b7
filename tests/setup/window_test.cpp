// The window itself: its controls, its load action, the return to the main window, and how the
// main window opens, hides and destroys it.
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

#include "SetupFixture.h"
#include "frmMain.h"

namespace setup_test {
namespace {

enum class K { Frame, Button, Text, Multi, Option, Label };

struct ControlRow {
  const char* name;
  K kind;
  const char* caption;
  const char* container;  // nullptr: the window
  int index = -1;         // element number of an option
};

const ControlRow kControls[] = {
    {"frmPSC", K::Frame, "Set PSC", nullptr},
    {"cmdSetPSC", K::Button, "Set", "frmPSC"},
    {"txtPSC", K::Text, "", "frmPSC"},
    {"txtGPIBErr", K::Text, "", nullptr},
    {"frmSRE", K::Frame, "SRE Setting", nullptr},
    {"cmdSetSRE", K::Button, "Set", "frmSRE"},
    {"txtSRE", K::Text, nullptr, "frmSRE"},
    {"frmESE", K::Frame, "ESE Setting", nullptr},
    {"cmdSetESE", K::Button, "Set", "frmESE"},
    {"txtESE", K::Text, nullptr, "frmESE"},
    {"frmMode", K::Frame, "RS485 Mode", nullptr},
    {"optModeDis", K::Option, "Disabled", "frmMode", 1},
    {"optModeEna", K::Option, "Enabled", "frmMode", 0},
    {"frmSerialPoll", K::Frame, "", nullptr},
    {"cmdSerialPoll", K::Button, "Serial    Poll", "frmSerialPoll"},
    {"frmBaudRate", K::Frame, "Baud Rate", nullptr},
    {"cmdSetBaud", K::Button, "Set", "frmBaudRate"},
    {"opt19200", K::Option, "19200", "frmBaudRate", 1},
    {"opt9600", K::Option, "9600", "frmBaudRate", 0},
    {"frmAddress", K::Frame, "GPIB Address", nullptr},
    {"cmdSetAddr", K::Button, "Set", "frmAddress"},
    {"txtNewAddr", K::Text, nullptr, "frmAddress"},
    {"cmdSRE", K::Button, "*SRE?", nullptr},
    {"cmdSav", K::Button, "*SAV", nullptr},
    {"cmdFindLstn", K::Button, "FindLstn", nullptr},
    {"frameProtocols", K::Frame, "488.2 Protocol", nullptr},
    {"cmdESR", K::Button, "*ESR?", nullptr},
    {"cmdSTB", K::Button, "*STB?", nullptr},
    {"cmdIDN", K::Button, "*IDN?", nullptr},
    {"frameComCmds", K::Frame, "488.2 Common Commands", nullptr},
    {"cmdCLR", K::Button, "*CLR", "frameComCmds"},
    {"cmdRST", K::Button, "*RST", "frameComCmds"},
    {"cmdESE", K::Button, "*ESE?", "frameComCmds"},
    {"txtError", K::Text, "", nullptr},
    {"txtResults2", K::Multi, "", nullptr},
    {"cmdExit", K::Button, "Return to Main Form", nullptr},
    {"lblCmdResponse", K::Label, "Command Response", nullptr},
};

bool isKind(const QWidget* c, K kind) {
  switch (kind) {
    case K::Frame:
      return qobject_cast<const QGroupBox*>(c);
    case K::Button:
      return qobject_cast<const QPushButton*>(c);
    case K::Text:
      return qobject_cast<const QLineEdit*>(c);
    case K::Multi:
      return qobject_cast<const ui::MultiLineBox*>(c);
    case K::Option:
      return qobject_cast<const ui::OptionButton*>(c);
    case K::Label:
      return qobject_cast<const QLabel*>(c);
  }
  return false;
}

TEST_F(SetupWindow, EveryControlHasItsNameKindCaptionAndFrame) {
  auto& win = open();
  EXPECT_EQ(win.objectName(), "frm488_2Cmds");
  EXPECT_EQ(win.windowTitle(), "GPIB Commands and Setup");
  EXPECT_TRUE(win.testAttribute(Qt::WA_DeleteOnClose));
  for (const auto& row : kControls) {
    SCOPED_TRACE(row.name);
    QWidget* c = win.control(row.name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->objectName(), row.name);
    EXPECT_TRUE(isKind(c, row.kind));
    if (row.caption) {
      EXPECT_EQ(ui::textOf(c), QString::fromLatin1(row.caption));
    }
    QWidget* expectedParent = row.container ? win.control(row.container) : &win;
    EXPECT_EQ(c->parentWidget(), expectedParent);
    if (row.index >= 0) {
      EXPECT_EQ(static_cast<ui::OptionButton*>(c)->index(), row.index);
      EXPECT_EQ(win.control(QStringLiteral("%1(%2)").arg(row.name).arg(row.index)), c);
    }
  }
  EXPECT_EQ(win.controls().size(), std::size(kControls) + 4);  // + the four "NAME(INDEX)" keys
}

// Width a caption needs on one line, in the control's own font.
int captionWidth(const QWidget* c, const QString& text) {
  return QFontMetrics(c->font()).horizontalAdvance(text);
}

TEST_F(SetupWindow, CaptionsAreNotClippedAndControlsDoNotOverlap) {
  auto& win = open();
  for (const auto& row : kControls) {
    SCOPED_TRACE(row.name);
    QWidget* c = win.control(row.name);
    const QRect inParent = c->parentWidget()->rect();
    EXPECT_TRUE(inParent.contains(c->geometry())) << "outside its container";
    const QString caption = ui::textOf(c);
    switch (row.kind) {
      case K::Frame:
        EXPECT_LE(captionWidth(c, caption) + 16, c->width());
        break;
      case K::Label:
        EXPECT_LE(captionWidth(c, caption), c->width());
        break;
      case K::Option: {
        QStyleOptionButton option;
        option.initFrom(c);
        const int indicator =
            c->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, &option, c) +
            c->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, &option, c);
        EXPECT_LE(indicator + captionWidth(c, caption), c->width());
        EXPECT_LE(QFontMetrics(c->font()).height(), c->height());
        break;
      }
      case K::Button: {
        // The caption wraps at blanks: every word must fit across, every line down.
        const QRect room = c->rect().adjusted(6, 4, -6, -4);
        for (const QString& word : caption.split(' ', Qt::SkipEmptyParts))
          EXPECT_LE(captionWidth(c, word), room.width()) << word.toStdString();
        const QRect needed = QFontMetrics(c->font()).boundingRect(room, Qt::TextWordWrap, caption);
        EXPECT_LE(needed.height(), room.height());
        break;
      }
      default:
        break;
    }
  }
  // Siblings keep apart, except the protocol buttons, which lie over their frame.
  const char* overFrame[] = {"cmdSRE", "cmdSav", "cmdESR", "cmdSTB", "cmdIDN"};
  auto overProtocols = [&](const QWidget* c) {
    return std::any_of(std::begin(overFrame), std::end(overFrame),
                       [&](const char* n) { return c->objectName() == n; });
  };
  for (const auto& a : kControls)
    for (const auto& b : kControls) {
      QWidget *ca = win.control(a.name), *cb = win.control(b.name);
      if (ca == cb || ca->parentWidget() != cb->parentWidget()) continue;
      if (overProtocols(ca) && cb == win.frameProtocols) {
        const QRect frame = win.frameProtocols->geometry().adjusted(0, 12, 0, 0);  // below caption
        EXPECT_TRUE(frame.contains(ca->geometry())) << a.name;
        continue;
      }
      if (overProtocols(cb) && ca == win.frameProtocols) continue;
      EXPECT_FALSE(ca->geometry().intersects(cb->geometry())) << a.name << " / " << b.name;
    }
}

TEST_F(SetupWindow, LoadReadsRegistersAndSerialSettingsAndSelectsTheOptions) {
  gpib.ConverterAddr = 4;
  auto& win = open();
  EXPECT_EQ(loadTraffic, defaultLoadTraffic());
  EXPECT_EQ(win.NL, "\r\n");
  EXPECT_EQ(win.txtSRE->text(), "32");
  EXPECT_EQ(win.txtESE->text(), "255");
  EXPECT_EQ(win.txtNewAddr->text(), " 4");
  EXPECT_TRUE(win.opt9600->isChecked());
  EXPECT_FALSE(win.opt19200->isChecked());
  EXPECT_TRUE(win.optModeEna->isChecked());
  EXPECT_FALSE(win.optModeDis->isChecked());
  EXPECT_EQ(results(), "");  // the option actions' read-backs are wiped at the end
  EXPECT_EQ(win.txtError->text(), "");
  EXPECT_FALSE(win.txtError->isVisible());
  EXPECT_FALSE(win.txtGPIBErr->isVisible());
  EXPECT_TRUE(win.cmdFindLstn->isEnabled());
  EXPECT_EQ(bus.pendingReplies(), 0u);
}

std::string padded(const std::string& reply, size_t size) {
  return reply + std::string(size - reply.size(), ' ');
}

struct LoadRow {
  const char* what;
  LoadReplies replies;
  bool sreFails;
  Lines traffic;
  const char *sre, *ese;
  bool b9600, b19200, ena, dis;
  std::string error;     // txtError, visible when not empty
  std::string busError;  // txtGPIBErr, visible when not empty
};

TEST_F(SetupWindow, LoadHandlesEveryReplyItMayGet) {
  const Lines head = {
      sent("*SRE?"), recv256(), sent("*ESE?"), recv256(), sent("SYST:COMM:SER:BAUD?"), recv256()};
  const Lines baud9600 = {sent("SYST:COMM:SER:BAUD 9600"), sent("SYST:COMM:SER:BAUD?"), recv80()};
  const Lines modeQuery = {sent("SYST:COMM:SER:RS485?"), recv256()};
  const Lines modeOn = {sent("SYST:COMM:SER:RS485 ON"), sent("SYST:COMM:SER:RS485?"), recv80()};
  const LoadRow rows[] = {
      {"19200 selects 19200 and hands it back",
       {.baud = "19200\n", .baudAgain = "19200\n"},
       false,
       head + Lines{sent("SYST:COMM:SER:BAUD 19200"), sent("SYST:COMM:SER:BAUD?"), recv80()} +
           modeQuery + modeOn,
       "32",
       "255",
       false,
       true,
       true,
       false,
       "",
       ""},
      {"4800 is unexpected: no option, the reply as received",
       {.baud = "4800\n"},
       false,
       head + modeQuery + modeOn,
       "32",
       "255",
       false,
       false,
       true,
       false,
       "Unexpected baud rate = " + padded("4800\n", 256),
       ""},
      {"RS-485 0 selects Disabled",
       {.rs485 = "0\n", .rs485Again = "0\n"},
       false,
       head + baud9600 + modeQuery +
           Lines{sent("SYST:COMM:SER:RS485 OFF"), sent("SYST:COMM:SER:RS485?"), recv80()},
       "32",
       "255",
       true,
       false,
       false,
       true,
       "",
       ""},
      {"RS-485 2 is unexpected",
       {.rs485 = "2\n"},
       false,
       head + baud9600 + modeQuery,
       "32",
       "255",
       true,
       false,
       false,
       false,
       "Unexpected RS485 Response = " + padded("2\n", 256),
       ""},
      {"*SRE? read fails: txtSRE stays, the report is titled SRE Read Error",
       {.sre = ""},
       true,
       Lines{sent("*SRE?"), recv256(), "ibonl(0, 0)", sent("*ESE?"), recv256(),
             sent("SYST:COMM:SER:BAUD?"), recv256()} +
           baud9600 + modeQuery + modeOn,
       "",
       "255",
       true,
       false,
       true,
       false,
       "",
       "SRE Read Error   CMPL >iberr =  6 EABO <Op. aborted>ibcnt =  0"},
      {"values are shown as plain numbers, a missing one as 0",
       {.sre = " 1.50E+1\n", .ese = "abc\n"},
       false,
       head + baud9600 + modeQuery + modeOn,
       "15",
       "0",
       true,
       false,
       true,
       false,
       "",
       ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    delete w.data();
    if (row.sreFails) bus.failNext("Receive", bus::EABO);
    auto& win = open(row.replies);
    EXPECT_EQ(loadTraffic, row.traffic);
    EXPECT_EQ(win.txtSRE->text(), row.sre);
    EXPECT_EQ(win.txtESE->text(), row.ese);
    EXPECT_EQ(win.opt9600->isChecked(), row.b9600);
    EXPECT_EQ(win.opt19200->isChecked(), row.b19200);
    EXPECT_EQ(win.optModeEna->isChecked(), row.ena);
    EXPECT_EQ(win.optModeDis->isChecked(), row.dis);
    EXPECT_EQ(bytes(win.txtError->text()), row.error);
    EXPECT_EQ(win.txtError->isVisible(), !row.error.empty());
    EXPECT_EQ(bytes(win.txtGPIBErr->text()), row.busError);
    EXPECT_EQ(win.txtGPIBErr->isVisible(), !row.busError.empty());
    EXPECT_EQ(results(), "");
    EXPECT_EQ(bus.pendingReplies(), 0u);
  }
}

TEST_F(SetupWindow, LoadShowsTheAddressInUse) {
  gpib.ConverterAddr = 12;
  bus.reply("0\n"), bus.reply("0\n"), bus.reply("9600\n"), bus.reply("9600\n");
  bus.reply("1\n"), bus.reply("1\n");
  w = new setup::frm488_2Cmds(gpib);
  EXPECT_EQ(w->txtNewAddr->text(), " 12");
  EXPECT_EQ(tap.take().front(), sent("*SRE?", 12));
}

// Counts the paints of a widget.
struct PaintCounter : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST_F(SetupWindow, ReturnUpdatesTheLinkPaintsClearsTheConverterAndHides) {
  auto& win = open();
  win.txtResults2->setText("old");
  QApplication::processEvents();
  PaintCounter counter;
  win.txtResults2->viewport()->installEventFilter(&counter);
  QString shownAtFirstWait;
  int paintsAtFirstWait = -1;
  tap.during = [&](const std::string& event) {
    if (event == "pause 0.1") shownAtFirstWait = results(), paintsAtFirstWait = counter.paints;
  };
  click(win.cmdExit);
  EXPECT_EQ(tap.take(), (Lines{sent("SYST:COMM:SER:UPDATE"), "beep", "pause 0.1", "DevClear(0, 4)",
                               "pause 1", "hide frm488_2Cmds"}));
  EXPECT_EQ(shownAtFirstWait, "Returning to main form");
  EXPECT_GE(paintsAtFirstWait, 1) << "the text must be on the screen during the waits";
  EXPECT_EQ(results(), "");
  EXPECT_FALSE(win.isVisible());
  EXPECT_FALSE(win.txtGPIBErr->isVisible());
  EXPECT_FALSE(w.isNull()) << "only hidden";
}

TEST_F(SetupWindow, ReturnReportsAFailedDeviceClearAndStillHides) {
  auto& win = open();
  bus.failNext("DevClear", bus::ENOL);
  click(win.cmdExit);
  EXPECT_EQ(tap.take(), (Lines{sent("SYST:COMM:SER:UPDATE"), "beep", "pause 0.1", "DevClear(0, 4)",
                               "ibonl(0, 0)", "pause 1", "hide frm488_2Cmds"}));
  EXPECT_EQ(bytes(win.txtGPIBErr->text()),
            "DevClear Error   CMPL >iberr =  2 ENOL <No Listener>ibcnt =  0");
  EXPECT_FALSE(win.isVisible());
}

TEST_F(SetupWindow, KeysDoNotBypassTheButtons) {
  auto& win = open();
  // Enter in an entry box clicks no button; Escape does not close the window.
  win.txtNewAddr->setFocus();
  QTest::keyClick(win.txtNewAddr, Qt::Key_Return);
  QTest::keyClick(win.txtESE, Qt::Key_Enter);
  QTest::keyClick(&win, Qt::Key_Escape);
  EXPECT_EQ(tap.take(), Lines{});
  EXPECT_TRUE(win.isVisible());
  EXPECT_FALSE(w.isNull());
}

// The main window opens the setup window: created once, hidden by its return button, destroyed
// when closed by its frame.
class OpenedFromMain : public SetupWindow {
 protected:
  void queueLoadReplies() {
    for (const char* r : {"32\n", "255\n", "9600\n", "9600\n", "1\n", "1\n"}) bus.reply(r);
  }
  console::frmMain main{gpib};
};

TEST_F(OpenedFromMain, SecondOpeningSendsNothingAndKeepsTheWindowAsItWas) {
  queueLoadReplies();
  main.cmd488_2Cmds_Click();
  setup::frm488_2Cmds* win = main.setupWindow();
  ASSERT_NE(win, nullptr);
  EXPECT_EQ(tap.take(), defaultLoadTraffic() + Lines{"show frm488_2Cmds"});
  EXPECT_TRUE(win->isVisible());
  EXPECT_TRUE(win->isModal());

  win->txtPSC->setText("0.5");
  bus.reply("19200\n");
  click(win->opt19200);
  click(win->cmdExit);
  tap.take();
  ASSERT_FALSE(win->isVisible());

  main.cmd488_2Cmds_Click();
  EXPECT_EQ(main.setupWindow(), win);
  EXPECT_EQ(tap.take(), Lines{"show frm488_2Cmds"});
  EXPECT_TRUE(win->isVisible());
  EXPECT_EQ(win->txtPSC->text(), "0.5");
  EXPECT_TRUE(win->opt19200->isChecked());
}

TEST_F(OpenedFromMain, ClosingByTheFrameDestroysAndTheNextOpeningLoadsAgain) {
  queueLoadReplies();
  main.cmd488_2Cmds_Click();
  QPointer<setup::frm488_2Cmds> first = main.setupWindow();
  first->txtPSC->setText("1");
  tap.take();

  first->close();  // the frame's close button
  QApplication::processEvents();
  EXPECT_EQ(tap.take(), Lines{"hide frm488_2Cmds"});  // no update, no device clear
  EXPECT_TRUE(first.isNull());

  queueLoadReplies();
  main.cmd488_2Cmds_Click();
  ASSERT_NE(main.setupWindow(), nullptr);
  EXPECT_EQ(tap.take(), defaultLoadTraffic() + Lines{"show frm488_2Cmds"});
  EXPECT_EQ(main.setupWindow()->txtPSC->text(), "");
}

}  // namespace
}  // namespace setup_test
