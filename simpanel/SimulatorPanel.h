#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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
// ambient, the chamber (its model, the thermal plant, the controller's loop, the linear model's
// rates), the link's latency, the controller's clock and a converter power cycle. Each change is
// announced as the script step that makes it, so that a run can be repeated by a script. The
// panel shows the bench as it is, whoever changed it; its boxes show the settings as they are
// when it opens.
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
  // Puts the bench's settings as they are now in the boxes (done when the panel opens).
  void fillBoxes();
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
  void chamberModel(bool linear);
  void plant();
  void loop();
  void latency();
  void linkPaced(bool on);
  // Several numbers from boxes, each in its range; nothing when one is refused.
  struct Field {
    QLineEdit* box;
    const char* what;
  };
  std::optional<std::vector<double>> decimals(std::initializer_list<Field> fields);

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
  QRadioButton* thermal_ = nullptr;
  QRadioButton* linear_ = nullptr;
  QLineEdit* mass_ = nullptr;
  QLineEdit* heater_ = nullptr;
  QLineEdit* cooler_ = nullptr;
  QLineEdit* loss_ = nullptr;
  QLineEdit* deadTime_ = nullptr;
  QLineEdit* band_ = nullptr;
  QLineEdit* integral_ = nullptr;
  QLineEdit* derivative_ = nullptr;
  QLineEdit* latency_ = nullptr;
  QCheckBox* paced_ = nullptr;
  QLabel* state_ = nullptr;
  QLabel* message_ = nullptr;
  QTimer* timer_ = nullptr;
};

}  // namespace simpanel
