#pragma once

#include <QDialog>
#include <QHash>
#include <QString>

#include "GPIB32.h"

namespace profile {

// The profile generator: selects a profile number in the controller and builds it step by step.
class frmCProfile final : public QDialog {
  Q_OBJECT
 public:
  explicit frmCProfile(bus::GPIB32& gpib, QWidget* parent = nullptr);

  QWidget* control(const QString& name) const { return controls_.value(name); }
  const QHash<QString, QWidget*>& controls() const { return controls_; }

  void Form_Load();
  void cmdReturn_Click();

 private:
  bus::GPIB32& gpib_;
  QHash<QString, QWidget*> controls_;
};

}  // namespace profile
