#include <QGroupBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "ConsoleFixture.h"
#include "SetupWindow.h"

namespace console_tests {
namespace {

struct ControlRow {
  const char* name;
  const char* caption;
  bool enabled;
  bool visible;
};

// Every control after start-up: its caption and whether the operator can use it.
TEST_F(ConsoleTest, StartUpStateOfEveryControl) {
  window.show();
  const ControlRow rows[] = {
      {"lblFormTop", "GPIB to ModBus Temp Controller Program", true, true},
      {"lblTop2", "For 5620, 5630 and 5690 Controllers", true, true},
      {"cmdInitialize", "Initialize   GPIB Bus", true, true},
      {"cmd488_2Cmds", "GPIB Commands, 488.2 Commands and Settings", false, true},
      {"cmdExit", "Exit", true, true},
      {"frmAddr", "ModBus Address", true, true},
      {"txtCurAddr", "1", true, true},
      {"cmdChgAddr", "Set", false, true},
      {"frameCmds", "ModBus Device Queries", true, true},
      {"cmdRdErr", "Read Err ", false, true},
      {"cmdRdTemp", "Read  Temp", false, true},
      {"cmdRdSetPt", "Read SetPt", false, true},
      {"cmdRdModel", "Read Model", false, true},
      {"cmdRdSN", "Read S/N", false, true},
      {"cmdRdSoft", "Read Soft", false, true},
      {"cmdRdRev", "Read Rev", false, true},
      {"cmdRdDate", "Read  Date", false, true},
      {"frmESR", "", true, true},
      {"cmdESR", "Read ESR", false, true},
      {"lblErrReg", "Check Err Reg", true, false},
      {"frmMBCmds", "Modbus Commands", true, true},
      {"lblOutput", "Assemble Output Command and Press Send", true, false},
      {"frmFormat", "Msg Format", false, true},
      {"optDecimal", "ASCII", false, true},
      {"optHex", "Hex", false, true},
      {"frmCmdNum", "Command ", false, true},
      {"optCmdRead", "Read", false, true},
      {"optCmdWrt", "Write", false, true},
      {"lblReg", "Reg#             Data Field", true, false},
      {"txtReg", "", false, true},
      {"txtOutput", "", false, true},
      {"cmdSend", "Send", false, true},
      {"cmdClr", "Clear ", false, true},
      {"txtDataEntry", "(Separate multiple data words with commas)", true, false},
      {"lblCmdResponse", "Command Response", true, false},
      {"txtResults", "", true, true},
      {"frmStaticCmds", "Static Commands", true, true},
      {"cmdStatic", "Set Static Parameters", false, true},
      {"optUnits(0)", "Deg F", false, true},
      {"optUnits(1)", "Deg C", false, true},
      {"txtSetPt", "", true, true},
      {"cmdSetPt", "Set SetPt", false, true},
      {"cmdStopSetPt", "Stop  SetPt", false, true},
      {"txtTemp", "", true, true},
      {"cmdRdTemp2", "Disp Temp", false, true},
      {"txtTime", "", true, true},
      {"cmdRdTime", "Disp Time", false, true},
      {"frmProfile", "Profile Controls", true, true},
      {"txtProfile", "", true, true},
      {"cmdRunProfile", " Run   Profile", false, true},
      {"cmdStop", "Stop  Profile", false, true},
      {"cmdDelete", "Delete  Profile", false, true},
      {"cmdConfirm", "Confirm  Delete", false, false},
      {"cmdCreate", "Create  Profile", false, true},
      {"txtError", "", true, true},
  };
  for (const auto& row : rows) {
    QWidget* control = window.control(row.name);
    ASSERT_NE(control, nullptr) << row.name;
    EXPECT_EQ(ui::toBytes(ui::textOf(control)), row.caption) << row.name;
    EXPECT_EQ(control->isEnabled(), row.enabled) << row.name;
    EXPECT_EQ(control->isVisible(), row.visible) << row.name;
    const QString name = QString::fromLatin1(row.name).section('(', 0, 0);
    EXPECT_EQ(control->objectName(), name);
  }
  EXPECT_EQ(window.windowTitle(), "Main Form");
  for (auto* option : {window.optDecimal, window.optHex, window.optCmdRead, window.optCmdWrt,
                       window.optUnits[0], window.optUnits[1]})
    EXPECT_FALSE(option->isChecked()) << option->objectName().toStdString();
  EXPECT_EQ(window.MBDevice, 1);
  EXPECT_EQ(window.TempRdFlag, 0);
  EXPECT_EQ(window.TimeRdFlag, 0);
  EXPECT_FALSE(window.FirstTimeFlg.has_value());
  EXPECT_FALSE(window.Setpointoff.has_value());
  EXPECT_EQ(window.NL, "\r\n");
  EXPECT_EQ(gpib.InterfaceName, "GPIB");
  EXPECT_EQ(gpib.BoardIndex, 0);
  EXPECT_EQ(gpib.ConverterAddr, 4);
  EXPECT_TRUE(window.Timer1->isActive());
  EXPECT_EQ(window.Timer1->interval(), 2);
  EXPECT_TRUE(rec.events().empty()) << "start-up touches the bus";
}

struct GeometryRow {
  const char* name;
  int left, top, width, height;
};

// Positions in twips within the container, at 15 twips to a pixel.
TEST_F(ConsoleTest, ControlsSitWhereTheLayoutPutsThem) {
  const GeometryRow rows[] = {
      {"cmdInitialize", 3600, 960, 1095, 855}, {"cmd488_2Cmds", 5520, 960, 2295, 855},
      {"cmdExit", 7440, 7320, 1095, 615},      {"txtCurAddr", 240, 360, 735, 495},
      {"cmdRdErr", 4560, 240, 855, 615},       {"cmdRdModel", 480, 2400, 975, 615},
      {"cmdRdDate", 4080, 2400, 735, 615},     {"optHex", 240, 600, 1095, 240},
      {"txtResults", 2640, 5040, 5535, 735},   {"cmdConfirm", 4320, 240, 975, 615},
      {"txtError", 1800, 8160, 2895, 375},     {"frmMBCmds", 360, 3360, 9135, 1455},
  };
  for (const auto& r : rows) {
    const QRect g = window.control(r.name)->geometry();
    EXPECT_EQ(g,
              QRect(ui::twips(r.left), ui::twips(r.top), ui::twips(r.width), ui::twips(r.height)))
        << r.name;
  }
  EXPECT_EQ(window.cmdRdErr->parentWidget(), window.frameCmds);
  EXPECT_EQ(window.cmdRdModel->parentWidget(), &window);
  EXPECT_EQ(window.optDecimal->parentWidget(), window.frmFormat);
  EXPECT_EQ(window.frmFormat->parentWidget(), window.frmMBCmds);
  EXPECT_GE(window.height(), ui::twips(8550));
  EXPECT_EQ(window.width(), ui::twips(10020));
  EXPECT_EQ(ui::background(window.cmdConfirm), QColor(Qt::red));
  EXPECT_EQ(ui::background(window.lblErrReg), QColor(Qt::red));
  EXPECT_EQ(ui::background(window.txtTemp), QColor(Qt::white));
  EXPECT_TRUE(window.lblFormTop->font().bold());
  EXPECT_DOUBLE_EQ(window.lblFormTop->font().pointSizeF(), 12);
  EXPECT_DOUBLE_EQ(window.cmdInitialize->font().pointSizeF(), 9.75);
}

TEST_F(ConsoleTest, ExitEndsTheProgramWithoutABusCall) {
  window.cmdExit->click();
  EXPECT_EQ(exits, 1);
  EXPECT_TRUE(rec.events().empty());
}

TEST_F(ConsoleTest, EditingTheAddressEnablesSetEvenForTheSameText) {
  window.show();
  QTest::keyClicks(window.txtCurAddr, "7");
  EXPECT_TRUE(window.cmdChgAddr->isEnabled());
  window.Form_Load();
  EXPECT_FALSE(window.cmdChgAddr->isEnabled());
  window.txtCurAddr->setText("2");
  window.txtCurAddr->setText("1");
  EXPECT_TRUE(window.cmdChgAddr->isEnabled());
  EXPECT_TRUE(rec.events().empty());
}

// Options: selecting runs the handler once, inside the selecting code; selecting again does
// not; code can leave a group with nothing selected.
TEST_F(ConsoleTest, OptionSelectionRunsItsHandlerOnlyOnChange) {
  window.FirstTimeFlg = 1;
  window.optUnits[1]->select();
  EXPECT_EQ(rec.take(), (Lines{sent("W  901, 1")}));
  window.optUnits[1]->select();
  EXPECT_TRUE(rec.take().empty());
  window.optUnits[0]->select();
  EXPECT_FALSE(window.optUnits[1]->isChecked());
  EXPECT_EQ(rec.take(), (Lines{sent("W  901, 0")}));
  window.optUnits[0]->deselect();
  EXPECT_FALSE(window.optUnits[0]->isChecked());
  EXPECT_FALSE(window.optUnits[1]->isChecked());
  EXPECT_TRUE(rec.take().empty());
}

TEST_F(ConsoleTest, GpibCommandsEmptiesResultsAndOpensTheSetupWindowOnce) {
  discover();
  window.txtResults->setText("something");
  EXPECT_EQ(window.setupWindow(), nullptr);
  window.cmd488_2Cmds->click();
  auto* setup = window.setupWindow();
  ASSERT_NE(setup, nullptr);
  EXPECT_TRUE(setup->isVisible());
  EXPECT_TRUE(setup->isModal() || setup->windowModality() == Qt::ApplicationModal);
  EXPECT_EQ(results(), "");
  setup->hide();
  window.txtResults->setText("again");
  window.cmd488_2Cmds->click();
  EXPECT_EQ(window.setupWindow(), setup) << "the setup window is made once";
  EXPECT_EQ(results(), "");
  setup->hide();
}

TEST_F(ConsoleTest, DriverLineSitsUnderTheClientArea) {
  console::MainWindow named(gpib, "Driver: test");
  EXPECT_EQ(named.lblDriver->text(), "Driver: test");
  EXPECT_GE(named.lblDriver->y(), ui::twips(8550));
}

}  // namespace
}  // namespace console_tests
