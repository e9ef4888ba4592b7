#pragma once

#include <QDialog>
#include <QHash>
#include <QString>
#include <optional>
#include <string>

#include "Exchange.h"
#include "GPIB32.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {
class MultiLineBox;
class OptionButton;
}  // namespace ui

namespace setup {

// The converter's setup window: IEEE 488.2 status registers and common commands, serial link,
// GPIB address, listener search and serial poll.
//
// Created on first use and only hidden by "Return to Main Form", so it keeps its entries and
// option selections between openings; closing it by its frame destroys it.
class SetupWindow final : public QDialog, public bus::ErrorBox {
  Q_OBJECT
 public:
  explicit SetupWindow(bus::GPIB32& gpib, QWidget* parent = nullptr);

  // A control by name ("cmdSetESE", "opt9600(0)"), for tests and scripts.
  QWidget* control(const QString& name) const { return controls_.value(name); }
  const QHash<QString, QWidget*>& controls() const { return controls_; }

  // The bus error box: txtGPIBErr shows `text` and becomes visible.
  void showError(const std::string& text) override;

  // Carriage return + line feed, set by the load action; joins the lines of txtResults2.
  QString NL;

  // Event handlers, one per control and event.
  void Form_Load();
  void cmdExit_Click();
  // IEEE 488.2 common commands and status registers.
  void cmdClr_Click();
  void cmdESE_Click();
  void cmdESR_Click();
  void cmdIDN_Click();
  void cmdSRE_Click();
  void cmdSTB_Click();
  void cmdSav_Click();
  void cmdRST_Click();
  void cmdSetESE_Click();
  void cmdSetSRE_Click();
  void cmdSetPSC_Click();
  // Serial link.
  void opt9600_Click(int index);
  void opt19200_Click(int index);
  void cmdSetBaud_Click();
  void optModeEna_Click(int index);
  void optModeDis_Click(int index);
  // The bus itself.
  void cmdFindLstn_Click();
  void cmdSetAddr_Click();
  void cmdSerialPoll_Click();

  // Controls, named as the operator-facing design names them.
  QGroupBox *frmPSC, *frmSRE, *frmESE, *frmMode, *frmSerialPoll, *frmBaudRate, *frmAddress,
      *frameProtocols, *frameComCmds;
  QPushButton *cmdSetPSC, *cmdSetSRE, *cmdSetESE, *cmdSerialPoll, *cmdSetBaud, *cmdSetAddr, *cmdSRE,
      *cmdSav, *cmdFindLstn, *cmdESR, *cmdSTB, *cmdIDN, *cmdCLR, *cmdRST, *cmdESE, *cmdExit;
  QLineEdit *txtPSC, *txtGPIBErr, *txtSRE, *txtESE, *txtNewAddr, *txtError;
  ui::OptionButton *optModeDis, *optModeEna, *opt19200, *opt9600;
  ui::MultiLineBox* txtResults2;
  QLabel* lblCmdResponse;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void connectHandlers();
  // Sends `line` and reads the reply into ReplyBuf at once, without a wait.
  void queryNoWait(const std::string& line);
  // Sends `line` and reads the reply directly, at most 80 characters, whatever the interface.
  void queryDirect(const std::string& line);
  // The numeric value of the reply in ReplyBuf, and that value as plain number text.
  double replyValue() const;
  QString replyValueText() const;
  // One of this window's own complaints: txtError shows `text` and becomes visible.
  void showMessage(const QString& text);
  // The first steps of the three "Set" buttons: empties the result and message boxes and
  // takes the single-precision value of `entry`. A value that `accepts` refuses (or that no
  // single-precision number holds) is refused here, with the entry focused for retyping.
  std::optional<float> setValue(QLineEdit* entry, bool (*accepts)(float));
  // Sends "COMMAND value" for an accepted set value; true when the driver took it.
  bool sendSetting(const char* command, float value);
  void appendResult(const QString& line);
  // The option actions: hand the converter the chosen setting, read it back, show it.
  void baudOption(const char* rate);
  void modeOption(const char* word);

  bus::GPIB32& gpib_;
  QHash<QString, QWidget*> controls_;
};

}  // namespace setup
