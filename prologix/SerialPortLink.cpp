// The adapter on a serial port (Prologix GPIB-USB and AR488 show up as /dev/ttyUSB* or
// /dev/ttyACM*), 8N1 without flow control, through Qt's blocking waits: no event loop needed.
#include <unistd.h>

#include <QSerialPort>
#include <algorithm>

#include "Link.h"

namespace prologix {

namespace {

class SerialPortLink final : public Link {
 public:
  SerialPortLink(std::string device, int baud) : device_(std::move(device)), baud_(baud) {}
  ~SerialPortLink() override { close(); }

  bool open(Deadline) override {
    close();
    problem_.clear();
    port_ = std::make_unique<QSerialPort>();
    port_->setPortName(QString::fromStdString(device_));
    if (!port_->open(QIODevice::ReadWrite)) {
      // Refused although this user may use the device: another program holds it (its lock
      // file, or exclusive mode). Not opened again to find out: that would reset an adapter
      // that restarts when its port opens, under the other program.
      if (port_->error() == QSerialPort::PermissionError &&
          ::access(device_.c_str(), R_OK | W_OK) == 0)
        return fail("cannot open: the port is in use by another program (" + reason() + ")");
      return fail("cannot open: " + reason());
    }
    const bool set = port_->setBaudRate(baud_) && port_->setDataBits(QSerialPort::Data8) &&
                     port_->setParity(QSerialPort::NoParity) &&
                     port_->setStopBits(QSerialPort::OneStop) &&
                     port_->setFlowControl(QSerialPort::NoFlowControl);
    if (!set) return fail("cannot set " + std::to_string(baud_) + " baud 8N1: " + reason());
    port_->clear();
    return true;
  }

  void close() override {
    if (port_) port_->close();
    port_.reset();
  }

  bool isOpen() const override { return port_ && port_->isOpen(); }

  bool write(const std::string& bytes, Deadline deadline) override {
    if (port_->write(bytes.data(), static_cast<qint64>(bytes.size())) !=
        static_cast<qint64>(bytes.size()))
      return fail("write failed: " + reason());
    while (port_->bytesToWrite() > 0) {
      if (!port_->waitForBytesWritten(millisecondsUntil(deadline))) {
        if (lost()) return fail("write failed: " + reason());
        if (millisecondsUntil(deadline) == 0) return fail("the adapter takes no more data");
      }
    }
    return true;
  }

  bool read(std::string& into, Deadline deadline) override {
    if (port_->bytesAvailable() == 0 && !port_->waitForReadyRead(millisecondsUntil(deadline)) &&
        lost())
      return fail("read failed: " + reason());
    const QByteArray bytes = port_->readAll();
    into.append(bytes.constData(), static_cast<size_t>(bytes.size()));
    return true;
  }

  void discardInput() override {
    if (!port_) return;
    port_->waitForReadyRead(0);
    port_->readAll();
    port_->clear(QSerialPort::Input);
  }

  std::string describe() const override {
    return "serial " + device_ + " at " + std::to_string(baud_) + " baud";
  }

 private:
  // A time-out is only the absence of data; anything else means the port is gone.
  bool lost() const {
    const auto error = port_->error();
    return error != QSerialPort::NoError && error != QSerialPort::TimeoutError;
  }

  std::string reason() const { return port_->errorString().toStdString(); }

  std::string device_;
  int baud_;
  std::unique_ptr<QSerialPort> port_;
};

}  // namespace

std::unique_ptr<Link> serialLink(const std::string& device, int baud) {
  return std::make_unique<SerialPortLink>(device, baud);
}

}  // namespace prologix
