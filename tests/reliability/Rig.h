#pragma once

#include <QAbstractButton>
#include <QLineEdit>
#include <QTimer>
#include <memory>
#include <string>

#include "Clock.h"
#include "Driver.h"
#include "Form.h"
#include "GPIB32.h"
#include "MainWindow.h"
#include "MultiLineBox.h"
#include "ProfileWindow.h"
#include "Recorder.h"
#include "SetupWindow.h"
#include "SimulatedBus.h"

namespace reliability {

// Hands every call to whichever driver is plugged in, so that a window brought up on the
// simulator can meet a fault on another driver and come back to the simulator afterwards.
class SwitchBus final : public bus::Driver {
 public:
  explicit SwitchBus(bus::Driver& first) : to_(&first) {}
  void plug(bus::Driver& driver) { to_ = &driver; }

  void ibonl(int ud, int v) override { to_->ibonl(ud, v); }
  void ibsre(int ud, int v) override { to_->ibsre(ud, v); }
  void ibtmo(int ud, int code) override { to_->ibtmo(ud, code); }
  void SendIFC(int board) override { to_->SendIFC(board); }
  void DevClear(int board, bus::Addr4882 a) override { to_->DevClear(board, a); }
  void FindLstn(int board, const bus::Addr4882* pads, bus::Addr4882* out, int limit) override {
    to_->FindLstn(board, pads, out, limit);
  }
  void ReadStatusByte(int board, bus::Addr4882 a, std::int16_t* r) override {
    to_->ReadStatusByte(board, a, r);
  }
  void Send(int board, bus::Addr4882 a, const char* d, long n, bus::EotMode m) override {
    to_->Send(board, a, d, n, m);
  }
  void Receive(int board, bus::Addr4882 a, char* b, long n, int t) override {
    to_->Receive(board, a, b, n, t);
  }
  bus::Status status() const override { return to_->status(); }
  std::string describe() const override { return to_->describe(); }

 private:
  bus::Driver* to_;
};

// The main window on the simulator in virtual time, after a discovery that found the F4.
struct Rig {
  Rig() {
    window.exitProgram = [] {};
    window.cmdInitialize->click();
    window.Timer1->stop();  // ticks are driven by hand
    rec.clear();
  }

  void click(QWidget* button) { qobject_cast<QAbstractButton*>(button)->click(); }
  std::string results() const { return ui::toBytes(window.txtResults->text()); }

  bus::VirtualClock clock;
  sim::SimulatedBus sim{clock};
  SwitchBus line{sim};
  bus::SilentSound sound;
  bus::Recorder rec;
  bus::GPIB32 gpib{line, clock, sound, &rec};
  console::MainWindow window{gpib};
};

}  // namespace reliability
