#pragma once

#include <QDialog>
#include <QHash>
#include <QString>

#include "GPIB32.h"

namespace setup {

// The converter's setup window: IEEE 488.2 status registers and common commands, serial link,
// GPIB address, listener search and serial poll.
class frm488_2Cmds final : public QDialog {
  Q_OBJECT
 public:
  explicit frm488_2Cmds(bus::GPIB32& gpib, QWidget* parent = nullptr);

  QWidget* control(const QString& name) const { return controls_.value(name); }
  const QHash<QString, QWidget*>& controls() const { return controls_; }

  void Form_Load();
  void cmdExit_Click();

 private:
  bus::GPIB32& gpib_;
  QHash<QString, QWidget*> controls_;
};

}  // namespace setup
