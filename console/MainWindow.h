#pragma once

#include <QColor>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "Exchange.h"
#include "GPIB32.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace ui {
class MultiLineBox;
class OptionButton;
}  // namespace ui

namespace setup {
class SetupWindow;
}
namespace profile {
class ProfileWindow;
}

namespace console {

// The main window: bus initialisation, controller queries, static set point and live display,
// Modbus address, manual command assembler and profile controls.
class MainWindow final : public QWidget, public bus::ErrorBox {
  Q_OBJECT
 public:
  // `driverLine` is shown under the controls: which driver the console runs on.
  explicit MainWindow(bus::GPIB32& gpib, const QString& driverLine = QString(),
                      QWidget* parent = nullptr);
  ~MainWindow() override;

  // What "Exit" does to end the program; tests replace it.
  std::function<void()> exitProgram;

  // A control by name ("cmdRdTemp", "optUnits(1)"), for tests and scripts.
  QWidget* control(const QString& name) const { return controls_.value(name); }
  const QHash<QString, QWidget*>& controls() const { return controls_; }
  // The windows it opens, once they exist.
  setup::SetupWindow* setupWindow() const;
  profile::ProfileWindow* profileWindow() const;
  // The bus the window works on, for the windows beside it that act on the same converter.
  bus::GPIB32& gpib() const { return gpib_; }

  // The error box: txtError shows `text` and becomes visible.
  void showError(const std::string& text) override;

  // Window-level variables.
  const QString NL = QStringLiteral("\r\n");
  std::int16_t MBDevice = 1;
  std::string Msg_Format;
  std::string Cmd;
  int TempRdFlag = 0;
  int TimeRdFlag = 0;
  std::optional<int> FirstTimeFlg;    // empty until the first initialisation
  std::optional<double> Setpointoff;  // empty counts as 0

  // Live display colours.
  static inline const QColor kDisplayOn{255, 144, 128};
  static inline const QColor kDisplayOff{255, 255, 255};

  // Event handlers, one per control and event.
  void Form_Load();
  void cmdExit_Click();
  void cmd488_2Cmds_Click();
  // Bus initialisation and discovery.
  void cmdInitialize_Click();
  void ReadModel();
  // Controller queries.
  void cmdRdModel_Click();
  void cmdRdSN_Click();
  void cmdRdSoft_Click();
  void cmdRdRev_Click();
  void cmdRdDate_Click();
  void cmdRdSetPt_Click();
  void cmdRdTemp_Click();
  void cmdRdErr_Click();
  // Static set point and live display.
  void cmdSetPt_Click();
  void cmdStopSetPt_Click();
  void cmdStatic_Click();
  void optUnits_Click(int index);
  void cmdRdTemp2_Click();
  void cmdRdTime_Click();
  void Timer1_Timer();
  // Modbus device address.
  void txtCurAddr_Change();
  void cmdChgAddr_Click();
  // Manual command assembler.
  void optCmdRead_Click(int index);
  void optCmdWrt_Click(int index);
  // Returns true when the key was swallowed.
  bool TxtReg_KeyPress(int keyAscii);
  bool txtOutput_KeyPress(int keyAscii);
  void txtOutput_Change();
  void cmdSend_Click();
  void cmdClr_Click();
  void optDecimal_Click(int index);
  void optHex_Click(int index);
  void cmdESR_Click();
  // Profile controls.
  void cmdRunProfile_Click();
  void cmdStop_Click();
  void cmdDelete_Click();
  void cmdConfirm_Click();
  void cmdCreate_Click();

  // Controls, named as the operator-facing design names them.
  QLabel *lblFormTop, *lblTop2, *lblErrReg, *lblOutput, *lblReg, *lblCmdResponse, *lblDriver;
  QPushButton *cmdInitialize, *cmd488_2Cmds, *cmdExit, *cmdChgAddr;
  QPushButton *cmdRdErr, *cmdRdTemp, *cmdRdSetPt, *cmdRdModel, *cmdRdSN, *cmdRdSoft, *cmdRdRev,
      *cmdRdDate, *cmdESR;
  QPushButton *cmdSend, *cmdClr;
  QPushButton *cmdStatic, *cmdSetPt, *cmdStopSetPt, *cmdRdTemp2, *cmdRdTime;
  QPushButton *cmdRunProfile, *cmdStop, *cmdDelete, *cmdConfirm, *cmdCreate;
  QGroupBox *frmAddr, *frameCmds, *frmESR, *frmMBCmds, *frmFormat, *frmCmdNum, *frmStaticCmds,
      *frmProfile;
  ui::OptionButton *optDecimal, *optHex, *optCmdRead, *optCmdWrt;
  ui::OptionButton* optUnits[2];
  QLineEdit *txtCurAddr, *txtReg, *txtOutput, *txtDataEntry, *txtSetPt, *txtTemp, *txtTime,
      *txtProfile, *txtError;
  ui::MultiLineBox* txtResults;
  QTimer* Timer1;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void connectHandlers();
  // The empty-reply fallback as this window shows it: "Modbus Error " and the converter's
  // answer in a visible txtError, txtResults emptied, a beep.
  void showModbusError(bool checks);
  // A register query of the main window: the query exchange, then `label` and the reply in
  // txtResults, or the fallback. Returns whether a reply came.
  bool registerQuery(const std::string& line, const char* label, bool checks);
  // The profile number of txtProfile when it may be sent (not empty, at most 255, a
  // single-precision number); otherwise shows why not and gives nothing.
  std::optional<float> acceptedProfileEntry();
  // Refuses an entry whose value does not fit: message in txtError, beep.
  void refuse(const QString& message);
  bus::ErrorBox* checks() { return this; }

  bus::GPIB32& gpib_;
  QHash<QString, QWidget*> controls_;
  QPointer<setup::SetupWindow> setup_;
  QPointer<profile::ProfileWindow> profile_;
};

}  // namespace console
