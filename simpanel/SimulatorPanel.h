#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTimer;

namespace sim {
class SimulatedBus;
}

namespace simpanel {

// The built-in simulator's faults and conditions by hand: converter present and silent, failed
// transactions, register faults, the controller's baud rate, the converter's identity and model,
// ambient, heating and cooling rates, the controller's clock and a converter power cycle. Each
// change is announced as the script step that makes it, so that a run can be repeated by a
// script. The panel shows the bench as it is, whoever changed it.
class SimulatorPanel final : public QWidget {
  Q_OBJECT
 public:
  using Announce = std::function<void(const std::string& step)>;

  // The model option buttons and the model each one sets; the last stands for a model the
  // console does not support.
  static constexpr const char* kModels[] = {"5620", "5630", "5690", "5600"};

  SimulatorPanel(sim::SimulatedBus& bench, Announce announce, QWidget* parent = nullptr);

  // Shows the bench's state now (also done on a timer while the panel is shown).
  void refresh();
  // The bench's state as the panel shows it, one line per part.
  QString stateText() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void build();
  // A change was made: it is announced and shown.
  void done(const std::string& step);
  // Refuses bad input: the reason is shown and nothing changes.
  void refuse(const QString& why);
  std::optional<long> whole(QLineEdit* box, const QString& what, long low, long high);
  std::optional<double> decimal(QLineEdit* box, const QString& what, double low, double high,
                                bool lowIncluded = true);

  void present(bool on);
  void silent(bool on);
  void fail();
  void registerValue();
  void registerNone();
  void registerClear();
  void baud();
  void identity();
  void model(int index);
  void ambient();
  void rates();
  void clock();
  void powerCycle();

  sim::SimulatedBus& bench_;
  Announce announce_;
  QCheckBox* present_ = nullptr;
  QCheckBox* silent_ = nullptr;
  QLineEdit* failCount_ = nullptr;
  QLineEdit* failCode_ = nullptr;
  QLineEdit* register_ = nullptr;
  QLineEdit* registerValue_ = nullptr;
  QLineEdit* baud_ = nullptr;
  QLineEdit* identity_ = nullptr;
  QRadioButton* models_[std::size(kModels)] = {};
  QLineEdit* ambient_ = nullptr;
  QLineEdit* heatRate_ = nullptr;
  QLineEdit* coolRate_ = nullptr;
  QLineEdit* driftRate_ = nullptr;
  QLineEdit* clock_ = nullptr;
  QLabel* state_ = nullptr;
  QLabel* message_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace simpanel
