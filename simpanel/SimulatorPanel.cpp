#include "SimulatorPanel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <tuple>

#include "Form.h"
#include "NumberText.h"
#include "SimulatedBus.h"

namespace simpanel {

namespace {

// Often enough to follow a script or the setup window, rarely enough to cost nothing.
constexpr int kRefreshMs = 500;

constexpr long kMostFailures = 65535;
constexpr long kHighestBaud = 1000000;
constexpr double kLowestAmbient = -1000, kHighestAmbient = 3000, kFastestRate = 1000;
constexpr double kLongestLatency = 10000;  // ms

QString capitalized(const char* text) {
  QString out = QString::fromUtf8(text);
  if (!out.isEmpty()) out[0] = out[0].toUpper();
  return out;
}

std::string number(double value) { return bus::plainNumberText(value); }
QString text(double value) { return QString::fromStdString(number(value)); }
// Six significant digits, for the state shown.
QString brief(double value) { return QString::number(value, 'g', 6); }
// Rounded to a whole number; never "-0".
QString wholeText(double value) { return QString::number(std::round(value) + 0.0, 'f', 0); }

// The model field of an *IDN? line: "ORVANE,5630,SIM-000417,2.10" -> "5630".
std::string modelOf(const std::string& identity) {
  const std::size_t first = identity.find(',');
  if (first == std::string::npos) return {};
  const std::size_t second = identity.find(',', first + 1);
  return identity.substr(first + 1, second == std::string::npos ? second : second - first - 1);
}

QString timeText(double secondsOfDay) {
  const long s = static_cast<long>(std::floor(secondsOfDay));
  return QString::asprintf("%02ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
}

}  // namespace

SimulatorPanel::SimulatorPanel(sim::SimulatedBus& bench, Announce announce, QWidget* parent)
    : QWidget(parent, Qt::Window), bench_(bench), announce_(std::move(announce)) {
  setObjectName("simulator");
  setWindowTitle("Simulator");
  build();
  timer_ = new QTimer(this);
  timer_->setInterval(kRefreshMs);
  connect(timer_, &QTimer::timeout, this, &SimulatorPanel::refresh);
  refresh();
}

void SimulatorPanel::build() {
  auto* grid = new QGridLayout;
  auto group = [&](const char* title, int row, int column) {
    auto* box = new QGroupBox(title, this);
    auto* layout = new QGridLayout(box);
    grid->addWidget(box, row, column);
    return layout;
  };
  auto edit = [this](QLineEdit*& box, const char* name, int width) {
    box = new QLineEdit(this);
    box->setObjectName(name);
    box->setMinimumWidth(width);
    return box;
  };
  auto button = [this](const char* name, const char* caption, void (SimulatorPanel::*handler)()) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    connect(b, &QPushButton::clicked, this, handler);
    return b;
  };
  auto label = [this](const char* caption) { return new QLabel(caption, this); };

  QGridLayout* converter = group("Converter", 0, 0);
  present_ = new QCheckBox("Present on the bus", this);
  present_->setObjectName("chkPresent");
  connect(present_, &QCheckBox::clicked, this, &SimulatorPanel::present);
  silent_ = new QCheckBox("Silent (reads time out)", this);
  silent_->setObjectName("chkSilent");
  connect(silent_, &QCheckBox::clicked, this, &SimulatorPanel::silent);
  converter->addWidget(present_, 0, 0, 1, 2);
  converter->addWidget(silent_, 1, 0, 1, 2);
  converter->addWidget(
      button("cmdPowerCycle", "Power Cycle Converter", &SimulatorPanel::powerCycle), 2, 0, 1, 2);
  converter->addWidget(label("Identity:"), 3, 0);
  converter->addWidget(edit(identity_, "txtIdentity", 200), 3, 1);
  converter->addWidget(button("cmdIdentity", "Set Identity", &SimulatorPanel::identity), 4, 1,
                       Qt::AlignRight);
  auto* models = new QHBoxLayout;
  auto* modelGroup = new QButtonGroup(this);
  models->addWidget(label("Model:"));
  for (std::size_t i = 0; i < std::size(kModels); ++i) {
    const bool unknown = i + 1 == std::size(kModels);
    models_[i] =
        new QRadioButton(unknown ? QString("Unknown (%1)").arg(kModels[i]) : kModels[i], this);
    models_[i]->setObjectName(unknown ? QString("optModelUnknown")
                                      : QString("optModel") + kModels[i]);
    modelGroup->addButton(models_[i]);
    models->addWidget(models_[i]);
    connect(models_[i], &QRadioButton::clicked, this, [this, i] { model(static_cast<int>(i)); });
  }
  converter->addLayout(models, 5, 0, 1, 2);

  QGridLayout* failures = group("Modbus Failures", 1, 0);
  failures->addWidget(label("Fail next"), 0, 0);
  failures->addWidget(edit(failCount_, "txtFailCount", 50), 0, 1);
  failures->addWidget(label("transactions with code"), 0, 2);
  failures->addWidget(edit(failCode_, "txtFailCode", 50), 0, 3);
  failures->addWidget(button("cmdFail", "Fail", &SimulatorPanel::fail), 0, 4);

  QGridLayout* registers = group("Controller Register", 2, 0);
  registers->addWidget(label("Register"), 0, 0);
  registers->addWidget(edit(register_, "txtRegister", 60), 0, 1);
  registers->addWidget(label("value"), 0, 2);
  registers->addWidget(edit(registerValue_, "txtRegisterValue", 60), 0, 3);
  auto* answers = new QHBoxLayout;
  answers->addWidget(button("cmdRegisterValue", "Answer Value", &SimulatorPanel::registerValue));
  answers->addWidget(button("cmdRegisterNone", "Answer Nothing", &SimulatorPanel::registerNone));
  answers->addWidget(button("cmdRegisterClear", "Clear Fault", &SimulatorPanel::registerClear));
  registers->addLayout(answers, 1, 0, 1, 4);

  QGridLayout* controller = group("Controller", 0, 1);
  int row = 0;
  auto line = [&](const char* caption, QLineEdit*& box, const char* name, const char* command,
                  const char* commandCaption, void (SimulatorPanel::*handler)()) {
    controller->addWidget(label(caption), row, 0);
    controller->addWidget(edit(box, name, 80), row, 1);
    controller->addWidget(button(command, commandCaption, handler), row++, 2);
  };
  line("Baud rate:", baud_, "txtBaud", "cmdBaud", "Set Baud", &SimulatorPanel::baud);
  line("Ambient (degrees):", ambient_, "txtAmbient", "cmdAmbient", "Set Ambient",
       &SimulatorPanel::ambient);
  line("Clock (HH:MM:SS):", clock_, "txtClock", "cmdClock", "Set Clock", &SimulatorPanel::clock);
  paced_ = new QCheckBox("Link takes its time (RTU at the baud rate)", this);
  paced_->setObjectName("chkLinkPaced");
  connect(paced_, &QCheckBox::clicked, this, &SimulatorPanel::linkPaced);
  controller->addWidget(paced_, row++, 0, 1, 3);
  line("Link latency (ms):", latency_, "txtLatency", "cmdLatency", "Set Latency",
       &SimulatorPanel::latency);
  controller->addWidget(label("Linear chamber, degrees a second:"), row++, 0, 1, 3);
  auto* rates = new QHBoxLayout;
  rates->addWidget(label("heat"));
  rates->addWidget(edit(heatRate_, "txtHeatRate", 50));
  rates->addWidget(label("cool"));
  rates->addWidget(edit(coolRate_, "txtCoolRate", 50));
  rates->addWidget(label("drift"));
  rates->addWidget(edit(driftRate_, "txtDriftRate", 50));
  controller->addLayout(rates, row, 0, 1, 2);
  controller->addWidget(button("cmdRates", "Set Rates", &SimulatorPanel::rates), row, 2);

  auto* chamber = new QGroupBox("Chamber", this);
  auto* plant = new QGridLayout(chamber);
  grid->addWidget(chamber, 3, 0, 1, 2);
  auto* chamberModels = new QHBoxLayout;
  auto* chamberGroup = new QButtonGroup(this);
  chamberModels->addWidget(label("Model:"));
  for (auto [option, name, caption, linear] :
       {std::tuple{&thermal_, "optChamberThermal", "Thermal (heat, lag, overshoot)", false},
        std::tuple{&linear_, "optChamberLinear", "Linear (constant rates)", true}}) {
    *option = new QRadioButton(caption, this);
    (*option)->setObjectName(name);
    chamberGroup->addButton(*option);
    chamberModels->addWidget(*option);
    connect(*option, &QRadioButton::clicked, this, [this, linear] { chamberModel(linear); });
  }
  chamberModels->addStretch();
  plant->addLayout(chamberModels, 0, 0, 1, 7);
  auto field = [&](const char* caption, QLineEdit*& box, const char* name, int r, int c) {
    plant->addWidget(label(caption), r, c);
    plant->addWidget(edit(box, name, 60), r, c + 1);
  };
  field("Thermal mass (kJ/K):", mass_, "txtMass", 1, 0);
  field("Heater (W):", heater_, "txtHeater", 1, 2);
  field("Cooler (W):", cooler_, "txtCooler", 1, 4);
  field("Loss to room (W/K):", loss_, "txtLoss", 2, 0);
  field("Dead time (s):", deadTime_, "txtDeadTime", 2, 2);
  plant->addWidget(button("cmdPlant", "Set Plant", &SimulatorPanel::plant), 2, 6);
  field("Band (degrees):", band_, "txtBand", 3, 0);
  field("Integral (s):", integral_, "txtIntegral", 3, 2);
  field("Derivative (s):", derivative_, "txtDerivative", 3, 4);
  plant->addWidget(button("cmdLoop", "Set Loop", &SimulatorPanel::loop), 3, 6);

  state_ = new QLabel(this);
  state_->setObjectName("lblState");
  state_->setFrameShape(QFrame::StyledPanel);
  state_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  state_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  grid->addWidget(state_, 1, 1, 2, 1);

  message_ = new QLabel(this);
  message_->setObjectName("lblMessage");
  message_->setAccessibleName("Panel message");
  message_->setWordWrap(true);

  auto* whole = new QVBoxLayout(this);
  whole->addLayout(grid);
  whole->addWidget(message_);
}

// ---- the state shown ----------------------------------------------------------------------

QString SimulatorPanel::stateText() const {
  sim::WatlowF4& f4 = bench_.controller();
  QStringList lines;
  lines << QString("Converter: %1%2")
               .arg(bench_.converterPresent() ? "present" : "absent",
                    bench_.converterSilent() ? ", silent" : "");
  lines << (bench_.pendingFailures() == 0 ? QString("Failures pending: none")
                                          : QString("Failures pending: %1 with code %2")
                                                .arg(bench_.pendingFailures())
                                                .arg(bench_.pendingFailureCode()));
  QStringList faults;
  for (const auto& [reg, fault] : bench_.registerFaults())
    faults << (fault.silent
                   ? QString("%1 answers nothing").arg(reg)
                   : QString("%1 answers %2").arg(reg).arg(static_cast<std::int16_t>(fault.value)));
  lines << "Register faults: " + (faults.isEmpty() ? QString("none") : faults.join("; "));
  lines << QString("Controller baud: %1").arg(bench_.controllerBaud());
  lines << "Identity: " + QString::fromStdString(bus::printableText(bench_.identity()));
  const char* unit = f4.unit() == 0 ? "F" : "C";
  lines << QString("Ambient: %1 %2; temperature: %3 %2")
               .arg(brief(f4.ambient()), unit, QString::number(f4.temperature(), 'f', 1));
  const sim::Chamber& chamber = f4.chamber();
  if (chamber.model() == sim::Chamber::Model::Linear) {
    lines << "Chamber: linear";
  } else {
    const sim::Chamber::Flows& flows = chamber.flows();
    lines << QString("Chamber: thermal, output %1 %: heater %2 W, cooler %3 W, to the room %4 W")
                 .arg(wholeText(chamber.output()), wholeText(flows.heater), wholeText(flows.cooler),
                      wholeText(flows.room));
  }
  const sim::Chamber::Plant& p = chamber.plant();
  lines << QString("Plant: mass %1 kJ/K, heater %2 W, cooler %3 W, loss %4 W/K, dead time %5 s")
               .arg(brief(p.thermalMass), brief(p.heaterPower), brief(p.coolerPower),
                    brief(p.roomLoss), brief(p.deadTime));
  const sim::Chamber::Loop& l = chamber.loop();
  lines << QString("Loop: band %1 %2, integral %3 s, derivative %4 s")
               .arg(brief(l.band), unit, brief(l.integral), brief(l.derivative));
  const sim::Chamber::Rates& r = chamber.rates();
  lines << QString("Linear rates: heat %1, cool %2, drift %3 degrees a second")
               .arg(text(r.heat), text(r.cool), text(r.drift));
  lines << (bench_.converter().paced()
                ? QString("Link: paced, latency %1 ms, response time-out %2 ms")
                      .arg(text(bench_.converter().latency() * 1000),
                           text(sim::Converter::kResponseTimeout * 1000))
                : QString("Link: instant"));
  lines << "Clock: " + timeText(f4.timeOfDay());
  return lines.join('\n');
}

void SimulatorPanel::fillBoxes() {
  sim::WatlowF4& f4 = bench_.controller();
  const sim::Chamber& chamber = f4.chamber();
  const sim::Chamber::Plant& p = chamber.plant();
  const sim::Chamber::Loop& l = chamber.loop();
  const sim::Chamber::Rates& r = chamber.rates();
  const std::pair<QLineEdit*, QString> boxes[] = {
      {identity_, QString::fromStdString(bus::printableText(bench_.identity()))},
      {baud_, QString::number(bench_.controllerBaud())},
      {ambient_, brief(f4.ambient())},
      {clock_, timeText(f4.timeOfDay())},
      {latency_, brief(bench_.converter().latency() * 1000)},
      {heatRate_, brief(r.heat)},
      {coolRate_, brief(r.cool)},
      {driftRate_, brief(r.drift)},
      {mass_, brief(p.thermalMass)},
      {heater_, brief(p.heaterPower)},
      {cooler_, brief(p.coolerPower)},
      {loss_, brief(p.roomLoss)},
      {deadTime_, brief(p.deadTime)},
      {band_, brief(l.band)},
      {integral_, brief(l.integral)},
      {derivative_, brief(l.derivative)},
  };
  for (const auto& [box, value] : boxes) box->setText(value);
}

void SimulatorPanel::refresh() {
  present_->setChecked(bench_.converterPresent());
  silent_->setChecked(bench_.converterSilent());
  paced_->setChecked(bench_.converter().paced());
  const std::string shown = modelOf(bench_.identity());
  std::size_t model = std::size(kModels) - 1;
  for (std::size_t i = 0; i + 1 < std::size(kModels); ++i)
    if (shown == kModels[i]) model = i;
  models_[model]->setChecked(true);
  const bool linear = bench_.controller().chamber().model() == sim::Chamber::Model::Linear;
  (linear ? linear_ : thermal_)->setChecked(true);
  state_->setText(stateText());
}

void SimulatorPanel::showEvent(QShowEvent* event) {
  fillBoxes();
  refresh();
  timer_->start();
  QWidget::showEvent(event);
}

void SimulatorPanel::hideEvent(QHideEvent* event) {
  timer_->stop();
  QWidget::hideEvent(event);
}

// ---- input ----------------------------------------------------------------------------------

void SimulatorPanel::done(const std::string& step) {
  message_->setText(QString::fromStdString(step));
  if (announce_) announce_(step);
  refresh();
}

void SimulatorPanel::refuse(const QString& why) { message_->setText(why); }

std::optional<long> SimulatorPanel::whole(QLineEdit* box, const QString& what, long low,
                                          long high) {
  bool ok = false;
  const long value = box->text().trimmed().toLong(&ok);
  if (ok && value >= low && value <= high) return value;
  refuse(QString("%1 must be a whole number from %2 to %3, not \"%4\"")
             .arg(what)
             .arg(low)
             .arg(high)
             .arg(box->text()));
  return std::nullopt;
}

std::optional<double> SimulatorPanel::decimal(QLineEdit* box, const QString& what, double low,
                                              double high, bool lowIncluded) {
  bool ok = false;
  const double value = box->text().trimmed().toDouble(&ok);
  if (ok && std::isfinite(value) && (lowIncluded ? value >= low : value > low) && value <= high)
    return value;
  refuse(QString("%1 must be a number %2 %3 and up to %4, not \"%5\"")
             .arg(what, lowIncluded ? "from" : "above")
             .arg(low)
             .arg(high)
             .arg(box->text()));
  return std::nullopt;
}

// ---- the changes ----------------------------------------------------------------------------

void SimulatorPanel::present(bool on) {
  bench_.setConverterPresent(on);
  done(on ? "sim present" : "sim absent");
}

void SimulatorPanel::silent(bool on) {
  bench_.setConverterSilent(on);
  done(on ? "sim silent on" : "sim silent off");
}

void SimulatorPanel::fail() {
  const auto count = whole(failCount_, "The count of transactions", 1, kMostFailures);
  if (!count) return;
  const auto code = whole(failCode_, "The Modbus error code", 1, 65535);
  if (!code) return;
  bench_.failNextTransactions(static_cast<int>(*count), static_cast<int>(*code));
  done("sim modbus-error " + std::to_string(*code) + " " + std::to_string(*count));
}

void SimulatorPanel::registerValue() {
  const auto reg = whole(register_, "The register", 0, 65535);
  if (!reg) return;
  const auto value = whole(registerValue_, "The register's value", -32768, 65535);
  if (!value) return;
  bench_.setRegisterValue(static_cast<int>(*reg), static_cast<std::uint16_t>(*value));
  done("sim register " + std::to_string(*reg) + " " + std::to_string(*value));
}

void SimulatorPanel::registerNone() {
  const auto reg = whole(register_, "The register", 0, 65535);
  if (!reg) return;
  bench_.setRegisterSilent(static_cast<int>(*reg));
  done("sim register " + std::to_string(*reg) + " none");
}

void SimulatorPanel::registerClear() {
  const auto reg = whole(register_, "The register", 0, 65535);
  if (!reg) return;
  bench_.clearRegisterFault(static_cast<int>(*reg));
  done("sim register " + std::to_string(*reg) + " clear");
}

void SimulatorPanel::baud() {
  const auto rate = whole(baud_, "The baud rate", 1, kHighestBaud);
  if (!rate) return;
  bench_.setControllerBaud(static_cast<int>(*rate));
  done("sim baud " + std::to_string(*rate));
}

void SimulatorPanel::identity() {
  const std::string text = ui::toBytes(identity_->text());
  bench_.setIdentity(text);
  done("sim identity \"" + bus::escapeBytes(text) + "\"");
}

void SimulatorPanel::model(int index) {
  const std::string wanted = kModels[index];
  const std::string shown = modelOf(bench_.identity());
  const bool unknown = index + 1 == static_cast<int>(std::size(kModels));
  const bool known =
      std::find(std::begin(kModels), std::end(kModels) - 1, shown) != std::end(kModels) - 1;
  // Selecting the model already shown changes nothing.
  if (shown == wanted || (unknown && !known)) return refresh();
  bench_.converter().setModel(wanted);
  done("sim model " + wanted);
}

void SimulatorPanel::ambient() {
  const auto degrees = decimal(ambient_, "The ambient", kLowestAmbient, kHighestAmbient);
  if (!degrees) return;
  bench_.controller().setAmbient(*degrees);
  done("sim ambient " + number(*degrees));
}

void SimulatorPanel::rates() {
  const auto heat = decimal(heatRate_, "The heat rate", 0, kFastestRate, false);
  if (!heat) return;
  const auto cool = decimal(coolRate_, "The cool rate", 0, kFastestRate, false);
  if (!cool) return;
  const auto drift = decimal(driftRate_, "The drift rate", 0, kFastestRate, false);
  if (!drift) return;
  bench_.controller().setRates(*heat, *cool, *drift);
  done("sim rates " + number(*heat) + " " + number(*cool) + " " + number(*drift));
}

void SimulatorPanel::clock() {
  static const QRegularExpression pattern("^(\\d\\d):(\\d\\d):(\\d\\d)$");
  const QRegularExpressionMatch match = pattern.match(clock_->text().trimmed());
  const int h = match.hasMatch() ? match.captured(1).toInt() : 99;
  const int m = match.hasMatch() ? match.captured(2).toInt() : 99;
  const int s = match.hasMatch() ? match.captured(3).toInt() : 99;
  if (h > 23 || m > 59 || s > 59)
    return refuse(QString("The clock must be a time of day HH:MM:SS from 00:00:00 to 23:59:59, "
                          "not \"%1\"")
                      .arg(clock_->text()));
  bench_.controller().setTimeOfDay(h * 3600.0 + m * 60.0 + s);
  done("sim clock " + timeText(h * 3600.0 + m * 60.0 + s).toStdString());
}

void SimulatorPanel::powerCycle() {
  bench_.converter().powerCycle();
  done("sim power-cycle");
}

void SimulatorPanel::chamberModel(bool linear) {
  sim::WatlowF4& f4 = bench_.controller();
  if ((f4.chamber().model() == sim::Chamber::Model::Linear) == linear) return refresh();
  f4.setChamberModel(linear ? sim::Chamber::Model::Linear : sim::Chamber::Model::Thermal);
  done(linear ? "sim chamber linear" : "sim chamber thermal");
}

std::optional<std::vector<double>> SimulatorPanel::decimals(std::initializer_list<Field> fields) {
  std::vector<double> values;
  for (const Field& f : fields) {
    bool ok = false;
    const double value = f.box->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
      refuse(QString("%1 must be a number, not \"%2\"").arg(capitalized(f.what), f.box->text()));
      return std::nullopt;
    }
    values.push_back(value);
  }
  return values;
}

void SimulatorPanel::plant() {
  const auto v = decimals({{mass_, "the thermal mass"},
                           {heater_, "the heater power"},
                           {cooler_, "the cooler power"},
                           {loss_, "the loss to the room"},
                           {deadTime_, "the dead time"}});
  if (!v) return;
  const sim::Chamber::Plant plant{(*v)[0], (*v)[1], (*v)[2], (*v)[3], (*v)[4]};
  if (const std::string why = sim::Chamber::refusal(plant); !why.empty())
    return refuse(capitalized(why.c_str()));
  bench_.controller().setPlant(plant);
  std::string step = "sim plant";
  for (double value : *v) step += " " + number(value);
  done(step);
}

void SimulatorPanel::loop() {
  const auto v = decimals({{band_, "the proportional band"},
                           {integral_, "the integral time"},
                           {derivative_, "the derivative time"}});
  if (!v) return;
  const sim::Chamber::Loop loop{(*v)[0], (*v)[1], (*v)[2]};
  if (const std::string why = sim::Chamber::refusal(loop); !why.empty())
    return refuse(capitalized(why.c_str()));
  bench_.controller().setLoop(loop);
  done("sim loop " + number(loop.band) + " " + number(loop.integral) + " " +
       number(loop.derivative));
}

void SimulatorPanel::linkPaced(bool on) {
  bench_.converter().setPaced(on);
  done(on ? "sim link paced" : "sim link instant");
}

void SimulatorPanel::latency() {
  const auto milliseconds = decimal(latency_, "The link latency", 0, kLongestLatency);
  if (!milliseconds) return;
  bench_.converter().setLatency(*milliseconds / 1000);
  done("sim latency " + number(*milliseconds));
}

}  // namespace simpanel
