// The window itself: its controls, its load action, the return to the main window, and how the
// main window opens, hides and destroys it.
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>

#include "SetupFixture.h"

namespace setup_test {
namespace {

enum class K { Frame, Button, Text, Multi, Option, Label };
const char* const kClassOf[] = {"QGroupBox",        "QPushButton",      "QLineEdit",
                                "ui::MultiLineBox", "ui::OptionButton", "QLabel"};

struct ControlRow {
  const char* name;
  K kind;
  const char* caption;    // nullptr: not checked (filled by the load action)
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

int captionWidth(const QWidget* c, const QString& text) {
  return QFontMetrics(c->font()).horizontalAdvance(text);
}

// Names, kinds, captions and containers; and every caption fits its control, every control its
// container, and siblings do not overlap.
TEST_F(SetupWindow, EveryControlHasItsNameKindCaptionAndFrameAndFits) {
  auto& win = open();
  EXPECT_EQ(win.objectName(), "frm488_2Cmds");
  EXPECT_EQ(win.windowTitle(), "GPIB Commands and Setup");
  EXPECT_TRUE(win.testAttribute(Qt::WA_DeleteOnClose));
  EXPECT_EQ(win.controls().size(), std::size(kControls) + 4);  // + the four "NAME(INDEX)" keys
  for (const auto& row : kControls) {
    SCOPED_TRACE(row.name);
    QWidget* c = win.control(row.name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->objectName(), row.name);
    EXPECT_TRUE(c->inherits(kClassOf[static_cast<int>(row.kind)]));
    const QString caption = ui::textOf(c);
    EXPECT_EQ(caption, row.caption ? QString::fromLatin1(row.caption) : caption);
    EXPECT_EQ(c->parentWidget(), row.container ? win.control(row.container) : &win);
    if (row.index >= 0) {
      EXPECT_EQ(static_cast<ui::OptionButton*>(c)->index(), row.index);
      EXPECT_EQ(win.control(QStringLiteral("%1(%2)").arg(row.name).arg(row.index)), c);
    }
    EXPECT_TRUE(c->parentWidget()->rect().contains(c->geometry())) << "outside its container";
    if (row.kind == K::Frame || row.kind == K::Label) {  // a frame's caption is inside its border
      EXPECT_LE(captionWidth(c, caption) + (row.kind == K::Frame ? 16 : 0), c->width());
    }
    if (row.kind == K::Option) {
      QStyleOptionButton option;
      option.initFrom(c);
      const int indicator =
          c->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, &option, c) +
          c->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, &option, c);
      EXPECT_LE(indicator + captionWidth(c, caption), c->width());
      EXPECT_LE(QFontMetrics(c->font()).height(), c->height());
    }
    if (row.kind == K::Button) {
      // The caption wraps at blanks: every word must fit across, every line down.
      const QRect room = c->rect().adjusted(6, 4, -6, -4);
      for (const QString& word : caption.split(' ', Qt::SkipEmptyParts))
        EXPECT_LE(captionWidth(c, word), room.width()) << word.toStdString();
      EXPECT_LE(QFontMetrics(c->font()).boundingRect(room, Qt::TextWordWrap, caption).height(),
                room.height());
    }
  }
  // Siblings keep apart, except the protocol buttons, which lie over their frame below its caption.
  const QStringList overFrame = {"cmdSRE", "cmdSav", "cmdESR", "cmdSTB", "cmdIDN"};
  for (const auto& a : kControls)
    for (const auto& b : kControls) {
      QWidget *ca = win.control(a.name), *cb = win.control(b.name);
      if (ca == cb || ca->parentWidget() != cb->parentWidget()) continue;
      if (overFrame.contains(a.name) && cb == win.frameProtocols) {
        EXPECT_TRUE(cb->geometry().adjusted(0, 12, 0, 0).contains(ca->geometry())) << a.name;
      } else if (!(overFrame.contains(b.name) && ca == win.frameProtocols)) {
        EXPECT_FALSE(ca->geometry().intersects(cb->geometry())) << a.name << " / " << b.name;
      }
    }
}

TEST_F(SetupWindow, LoadReadsRegistersAndSerialSettingsAndSelectsTheOptions) {
  const Lines head = query("*SRE?") + query("*ESE?") + query("SYST:COMM:SER:BAUD?");
  const Lines mode = query("SYST:COMM:SER:RS485?"), on = mode + modeSet("ON");
  const LoadReplies normal{}, b4800{.baud = "4800\n"}, off{.rs485 = "0\n", .rs485Again = "0\n"},
      odd{.rs485 = "2\n"}, noSre{.sre = ""}, plain{.sre = " 1.50E+1\n", .ese = "abc\n"};
  const struct {
    LoadReplies replies;
    Lines traffic;
    const char *sre, *ese, *checked;
    std::string error;     // txtError, visible when not empty
    std::string busError;  // txtGPIBErr, visible when not empty
  } rows[] = {
      {normal, defaultLoadTraffic(), "32", "255", "9600 Enabled", "", ""},
      {k19200, head + baudSet("19200") + on, "32", "255", "19200 Enabled", "", ""},
      // An unexpected reply selects nothing and is shown as received.
      {b4800, head + on, "32", "255", "Enabled", "Unexpected baud rate = " + padded("4800\n"), ""},
      {off, head + baudSet("9600") + mode + modeSet("OFF"), "32", "255", "9600 Disabled", "", ""},
      {odd, head + baudSet("9600") + mode, "32", "255", "9600",
       "Unexpected RS485 Response = " + padded("2\n"), ""},
      // A failed read leaves txtSRE as it was; the report is titled for the register.
      {noSre,
       query("*SRE?") + kIbonl + query("*ESE?") + query("SYST:COMM:SER:BAUD?") + baudSet("9600") +
           on,
       "", "255", "9600 Enabled", "", report("SRE Read", kAborted)},
      // Values are shown as plain numbers, a missing one as 0.
      {plain, defaultLoadTraffic(), "15", "0", "9600 Enabled", "", ""},
  };
  gpib.ConverterAddr = 4;
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    if (row.replies.sre.empty())
      bus.failNext  // no reply: the read fails
          ("Receive", bus::EABO);
    auto& win = open(row.replies);
    EXPECT_EQ(loadTraffic, row.traffic);
    EXPECT_EQ(win.txtSRE->text(), row.sre);
    EXPECT_EQ(win.txtESE->text(), row.ese);
    EXPECT_EQ(win.txtNewAddr->text(), " 4");
    EXPECT_EQ(checked(), row.checked);
    EXPECT_EQ(bytes(win.txtError->text()), row.error);
    EXPECT_EQ(win.txtError->isVisible(), !row.error.empty());
    EXPECT_EQ(bytes(win.txtGPIBErr->text()), row.busError);
    EXPECT_EQ(win.txtGPIBErr->isVisible(), !row.busError.empty());
    EXPECT_EQ(results(), "");  // the option actions' read-backs are wiped at the end
    EXPECT_EQ(win.NL, "\r\n");
    EXPECT_TRUE(win.cmdFindLstn->isEnabled());
    EXPECT_EQ(bus.pendingReplies(), 0u);
  }
}

TEST_F(SetupWindow, LoadShowsTheAddressInUse) {
  gpib.ConverterAddr = 12;
  for (const char* r : {"0\n", "0\n", "9600\n", "9600\n", "1\n", "1\n"}) bus.reply(r);
  w = new setup::SetupWindow(gpib);
  EXPECT_EQ(w->txtNewAddr->text(), " 12");
  EXPECT_EQ(tap.take().front(), sent("*SRE?", 12));
}

TEST_F(SetupWindow, ReturnUpdatesTheLinkPaintsClearsTheConverterAndHides) {
  const struct {
    bool clearFails;
    Lines clear;
    std::string report;
  } rows[] = {{false, {"DevClear(0, 4)"}, ""},
              {true, {"DevClear(0, 4)", "ibonl(0, 0)"}, report("DevClear", kNoListener)}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.clearFails);
    auto& win = open();
    win.txtResults2->setText("old");
    QString shownAtFirstWait;
    int paintsAtFirstWait = -1;
    watchResultsAt("pause 0.1", shownAtFirstWait, paintsAtFirstWait);
    if (row.clearFails) bus.failNext("DevClear", bus::ENOL);
    click(win.cmdExit);
    const Lines update = {sent("SYST:COMM:SER:UPDATE"), "beep", "pause 0.1"};
    EXPECT_EQ(tap.take(), (update + row.clear + Lines{"pause 1", "hide frm488_2Cmds"}));
    EXPECT_EQ(shownAtFirstWait, "Returning to main form");
    EXPECT_GE(paintsAtFirstWait, 1) << "the text must be on the screen during the waits";
    EXPECT_EQ(results(), "");
    EXPECT_EQ(bytes(win.txtGPIBErr->text()), row.report);
    EXPECT_EQ(win.txtGPIBErr->isVisibleTo(&win), row.clearFails);
    EXPECT_FALSE(win.isVisible());
    EXPECT_FALSE(w.isNull()) << "only hidden";
    tap.during = nullptr;
  }
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

TEST_F(OpenedFromMain, SecondOpeningSendsNothingAndKeepsTheWindowAsItWas) {
  auto* win = &openFromMain();
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
  QPointer<setup::SetupWindow> first = &openFromMain();
  first->txtPSC->setText("1");
  tap.take();
  first->close();  // the frame's close button
  QApplication::processEvents();
  EXPECT_EQ(tap.take(), Lines{"hide frm488_2Cmds"});  // no update, no device clear
  EXPECT_TRUE(first.isNull());

  EXPECT_EQ(openFromMain().txtPSC->text(), "");
  EXPECT_EQ(tap.take(), defaultLoadTraffic() + Lines{"show frm488_2Cmds"});
}

}  // namespace
}  // namespace setup_test
