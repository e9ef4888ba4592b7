#include "LibraryWindow.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

#include "Registers.h"

namespace profilelibrary {

namespace {

// A file of profiles is small; anything much larger is not one.
constexpr qint64 kLargestFile = 4 * 1024 * 1024;

QPushButton* button(const char* name, const QString& caption, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setAccessibleName(caption);
  return b;
}

QTableWidget* table(const char* name, const QStringList& headers, QWidget* parent) {
  auto* t = new QTableWidget(0, static_cast<int>(headers.size()), parent);
  t->setObjectName(name);
  t->setHorizontalHeaderLabels(headers);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  t->verticalHeader()->setVisible(false);
  t->horizontalHeader()->setStretchLastSection(true);
  return t;
}

void setRow(QTableWidget* t, int row, const QStringList& cells) {
  for (int c = 0; c < cells.size(); ++c) t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

QString unitName(int unit) { return unit == 1 ? "°C" : "°F"; }

}  // namespace

LibraryWindow::LibraryWindow(bus::GPIB32& gpib, QWidget* parent)
    : QWidget(parent, Qt::Window), controller_(gpib) {
  setObjectName("library");
  setWindowTitle("Profile Library");
  resize(900, 620);

  auto* read = button("cmdDirectory", "Read &directory", this);
  auto* readOne = button("cmdRead", "&Read back", this);
  auto* readAllButton = button("cmdReadAll", "Read a&ll", this);
  auto* run = button("cmdRun", "R&un", this);
  progress_ = new QProgressBar(this);
  progress_->setObjectName("prgProgress");
  progress_->setAccessibleName("Progress");
  progress_->setVisible(false);
  cancelButton_ = button("cmdCancel", "&Cancel", this);
  cancelButton_->setEnabled(false);
  number_ = new QLineEdit(this);
  number_->setObjectName("txtNumber");
  number_->setAccessibleName("Profile");
  number_->setMaximumWidth(50);
  auto* top = new QHBoxLayout;
  top->addWidget(read);
  top->addWidget(new QLabel("Profile", this));
  top->addWidget(number_);
  top->addWidget(readOne);
  top->addWidget(readAllButton);
  top->addWidget(run);
  top->addWidget(progress_, 1);
  top->addStretch();
  top->addWidget(cancelButton_);

  directoryTable_ = table("tblDirectory", {"Profile", "Name", "Steps", "State"}, this);
  directoryTable_->setAccessibleName("Profiles on the controller");
  for (const auto& [column, width] : {std::pair{0, 55}, {1, 95}, {2, 45}})
    directoryTable_->setColumnWidth(column, width);
  steps_ = table("tblSteps", {"Step", "Type", "Parameters"}, this);
  steps_->setAccessibleName("Steps of the profile");

  chart_ = new QChart;
  chart_->legend()->hide();
  chart_->setTitle("Planned set point");
  auto* chartView = new QChartView(chart_, this);
  chartView->setObjectName("chtPlan");
  chartView->setAccessibleName("Planned set point");
  chartView->setRenderHint(QPainter::Antialiasing);
  start_ = new QLineEdit(this);
  start_->setObjectName("txtStart");
  start_->setAccessibleName("Start temperature");
  start_->setMaximumWidth(80);
  auto* startRow = new QHBoxLayout;
  startRow->addWidget(new QLabel("Start at", this));
  startRow->addWidget(start_);
  startRow->addStretch();

  auto* right = new QWidget(this);
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  rightLayout->addWidget(steps_, 1);
  rightLayout->addLayout(startRow);
  rightLayout->addWidget(chartView, 1);
  auto* split = new QSplitter(this);
  split->addWidget(directoryTable_);
  split->addWidget(right);
  split->setStretchFactor(1, 2);
  split->setSizes({300, 600});

  file_ = new QLineEdit(this);
  file_->setObjectName("txtFile");
  file_->setAccessibleName("File");
  auto* browse = button("cmdBrowse", "&Browse…", this);
  auto* save = button("cmdSave", "&Save profile", this);
  auto* saveAll = button("cmdSaveAll", "Save li&brary", this);
  auto* csv = button("cmdCsv", "Export CS&V", this);
  target_ = new QLineEdit(this);
  target_->setObjectName("txtTarget");
  target_->setAccessibleName("Load into profile");
  target_->setMaximumWidth(50);
  auto* load = button("cmdLoad", "L&oad", this);
  replace_ = button("cmdReplace", "Re&place", this);
  replace_->setVisible(false);
  auto* compare = button("cmdCompare", "Co&mpare", this);
  auto* files = new QGridLayout;
  files->addWidget(new QLabel("File", this), 0, 0);
  files->addWidget(file_, 0, 1, 1, 4);
  files->addWidget(browse, 0, 5);
  files->addWidget(save, 1, 1);
  files->addWidget(saveAll, 1, 2);
  files->addWidget(csv, 1, 3);
  auto* loadRow = new QHBoxLayout;
  loadRow->addWidget(new QLabel("into profile", this));
  loadRow->addWidget(target_);
  loadRow->addWidget(load);
  loadRow->addWidget(replace_);
  loadRow->addWidget(compare);
  files->addLayout(loadRow, 1, 4, 1, 2);

  message_ = new QLabel(this);
  message_->setObjectName("lblMessage");
  message_->setAccessibleName("Message");
  message_->setWordWrap(true);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  differences_ = new QListWidget(this);
  differences_->setObjectName("lstDifferences");
  differences_->setAccessibleName("Differences");
  differences_->setMaximumHeight(90);
  differences_->setVisible(false);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(split, 1);
  layout->addLayout(files);
  layout->addWidget(message_);
  layout->addWidget(differences_);

  actions_ = {read,    readOne, readAllButton, run,      browse, save,
              saveAll, csv,     load,          replace_, compare};
  connect(read, &QPushButton::clicked, this, &LibraryWindow::readDirectory);
  connect(readOne, &QPushButton::clicked, this, &LibraryWindow::readSelected);
  connect(readAllButton, &QPushButton::clicked, this, &LibraryWindow::readAll);
  connect(run, &QPushButton::clicked, this, &LibraryWindow::runSelected);
  connect(cancelButton_, &QPushButton::clicked, this, [this] { cancel_ = true; });
  connect(browse, &QPushButton::clicked, this, [this] {
    if (const QString path = pathFor(false, "Profiles (*.json);;All files (*)"); !path.isEmpty())
      file_->setText(path);
  });
  connect(save, &QPushButton::clicked, this, [this] { saveProfiles(false); });
  connect(saveAll, &QPushButton::clicked, this, [this] { saveProfiles(true); });
  connect(csv, &QPushButton::clicked, this, &LibraryWindow::exportCsv);
  connect(load, &QPushButton::clicked, this, &LibraryWindow::loadFile);
  connect(replace_, &QPushButton::clicked, this, &LibraryWindow::replaceProfile);
  connect(compare, &QPushButton::clicked, this, &LibraryWindow::compareFile);
  connect(start_, &QLineEdit::editingFinished, this, &LibraryWindow::drawPlan);
  connect(directoryTable_, &QTableWidget::itemSelectionChanged, this, [this] {
    const auto rows = directoryTable_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return;
    number_->setText(directoryTable_->item(rows.front().row(), 0)->text());
    if (const auto it = readBack_.find(selectedNumber()); it != readBack_.end())
      showProfile(it->second);
  });
}

int LibraryWindow::profileNumber(const QLineEdit* box) {
  bool whole = false;
  const int n = box->text().trimmed().toInt(&whole);
  return whole && n >= 1 && n <= f4::MaxProfiles ? n : 0;
}

int LibraryWindow::selectedNumber() const { return profileNumber(number_); }

QString LibraryWindow::pathFor(bool save, const QString& filter) {
  if (askPath) return askPath(save, filter);
  return save ? QFileDialog::getSaveFileName(this, "Save", file_->text(), filter)
              : QFileDialog::getOpenFileName(this, "Open", file_->text(), filter);
}

void LibraryWindow::say(const QString& text, bool problem) {
  message_->setText(text);
  message_->setStyleSheet(problem ? "color: #aa0000" : "");
}

void LibraryWindow::busy(bool on) {
  for (QPushButton* b : actions_) b->setEnabled(!on);
  cancelButton_->setEnabled(on);
  progress_->setVisible(on);
  if (on) cancel_ = false;
}

ControllerProfiles::Progress LibraryWindow::progress(const QString& doing) {
  return [this, doing](int done, int total) {
    progress_->setRange(0, total);  // 0 of 0: under way, the end unknown
    progress_->setValue(done);
    say(doing);
    // Cancel can be pressed between transactions; the bus is idle then.
    QApplication::processEvents();
    return !cancel_;
  };
}

void LibraryWindow::finish(const ControllerProfiles::Outcome& outcome, const QString& done) {
  busy(false);
  if (outcome.ok)
    say(done);
  else
    say(outcome.cancelled ? "Cancelled." : QString::fromStdString(outcome.problem),
        !outcome.cancelled);
}

bool LibraryWindow::readDirectory() {
  busy(true);
  const auto outcome = controller_.readDirectory(directory_, progress("Reading the directory…"));
  if (outcome.ok) unit_ = directory_.unit;
  showDirectory();
  finish(outcome, QString("%1 profiles on the controller.").arg(directory_.profiles.size()));
  return outcome.ok;
}

void LibraryWindow::showDirectory() {
  const int selected = selectedNumber();
  directoryTable_->setRowCount(static_cast<int>(directory_.profiles.size()));
  int row = 0;
  for (const auto& entry : directory_.profiles) {
    const auto known = readBack_.find(entry.number);
    const QString state = entry.number == directory_.runningProfile
                              ? QString("running, step %1").arg(directory_.runningStep)
                              : QString();
    setRow(directoryTable_, row,
           {QString::number(entry.number), QString::fromStdString(entry.name),
            known != readBack_.end() ? QString::number(known->second.steps.size()) : QString(),
            state});
    if (entry.number == selected) directoryTable_->selectRow(row);
    ++row;
  }
  directoryTable_->resizeColumnsToContents();
  // Loading goes by default into the lowest free number, where the controller creates; a number
  // the operator chose stays.
  if (!target_->text().isEmpty() && target_->text() != suggested_) return;
  for (int n = 1; n <= f4::MaxProfiles; ++n)
    if (std::none_of(directory_.profiles.begin(), directory_.profiles.end(),
                     [n](const auto& e) { return e.number == n; })) {
      suggested_ = QString::number(n);
      target_->setText(suggested_);
      break;
    }
}

void LibraryWindow::readSelected() {
  const int number = selectedNumber();
  if (number == 0) return say("Name a profile (1 to 40) or choose one in the directory.", true);
  busy(true);
  Profile profile;
  const auto outcome = controller_.readProfile(
      number, profile, progress(QString("Reading profile %1…").arg(number)));
  if (outcome.ok) {
    readBack_[number] = profile;
    if (profileRead) profileRead(profile);
    if (start_->text().isEmpty())
      if (const auto now = controller_.temperature()) start_->setText(QString::number(*now));
    showDirectory();
    showProfile(profile);
  }
  finish(outcome, QString("Profile %1: %2 steps.").arg(number).arg(profile.steps.size()));
}

void LibraryWindow::readAll() {
  if (!readDirectory()) return;
  busy(true);
  ControllerProfiles::Outcome outcome;
  for (const auto& entry : directory_.profiles) {
    Profile profile;
    outcome = controller_.readProfile(entry.number, profile,
                                      progress(QString("Reading profile %1…").arg(entry.number)));
    if (!outcome.ok) break;
    readBack_[entry.number] = profile;
    if (profileRead) profileRead(profile);
  }
  showDirectory();
  finish(outcome, QString("Read back %1 profiles.").arg(directory_.profiles.size()));
}

void LibraryWindow::runSelected() {
  const int number = selectedNumber();
  if (number == 0) return say("Name a profile (1 to 40) or choose one in the directory.", true);
  if (!readBack_.count(number)) readSelected();
  if (!readBack_.count(number)) return;  // why is said already
  busy(true);
  const auto outcome = controller_.runProfile(number);
  finish(outcome, QString("Profile %1 runs.").arg(number));
}

void LibraryWindow::showProfile(const Profile& profile) {
  shown_ = profile;
  steps_->setRowCount(static_cast<int>(profile.steps.size()));
  const std::string unit = unitName(unit_).toStdString();
  for (std::size_t i = 0; i < profile.steps.size(); ++i) {
    const Step& s = profile.steps[i];
    setRow(steps_, static_cast<int>(i),
           {QString::number(i + 1), QString::fromStdString(kindName(s.type)),
            QString::fromStdString(describeStep(s, unit))});
  }
  steps_->resizeColumnsToContents();
  drawPlan();
}

void LibraryWindow::drawPlan() {
  chart_->removeAllSeries();
  for (QAbstractAxis* axis : chart_->axes()) {
    chart_->removeAxis(axis);  // hands the axis back to us
    delete axis;
  }
  if (!shown_) return;
  bool numeric = false;
  const double start = start_->text().toDouble(&numeric);
  const auto plan = plannedCurve(*shown_, numeric ? start : 0.0);
  auto* series = new QLineSeries;
  series->setName("planned set point");
  for (const PlanPoint& p : plan) series->append(p.seconds / 60.0, p.setPoint);
  chart_->addSeries(series);
  auto* x = new QValueAxis;
  x->setTitleText("minutes");
  auto* y = new QValueAxis;
  y->setTitleText(unitName(unit_));
  chart_->addAxis(x, Qt::AlignBottom);
  chart_->addAxis(y, Qt::AlignLeft);
  series->attachAxis(x);
  series->attachAxis(y);
  x->applyNiceNumbers();
  y->applyNiceNumbers();
  chart_->setTitle(
      QString("Profile %1 %2").arg(shown_->number).arg(QString::fromStdString(shown_->name)));
}

std::optional<ProfileSet> LibraryWindow::readFile(const QString& path) {
  QFile file(path);
  if (path.isEmpty()) return say("Name a file first.", true), std::nullopt;
  if (!file.open(QIODevice::ReadOnly))
    return say("Cannot read " + path + ": " + file.errorString(), true), std::nullopt;
  if (file.size() > kLargestFile)
    return say(path + " is too large to be a profile file.", true), std::nullopt;
  const QByteArray bytes = file.readAll();
  const Reading reading = fromJson(bytes.toStdString());
  if (!reading.ok())
    return say(path + ": " + QString::fromStdString(reading.problem), true), std::nullopt;
  return reading.set;
}

void LibraryWindow::saveProfiles(bool all) {
  if (all) readAll();
  ProfileSet set{unit_, {}};
  if (all)
    for (const auto& [number, profile] : readBack_) set.profiles.push_back(profile);
  else if (shown_)
    set.profiles.push_back(*shown_);
  if (set.profiles.empty()) return say("Read a profile back first.", true);
  QString path = file_->text();
  if (path.isEmpty()) path = pathFor(true, "Profiles (*.json)");
  if (path.isEmpty()) return;
  if (!writeFile(path, toJson(set))) return;
  file_->setText(path);
  say(QString("Saved %1 profile(s) to %2.").arg(set.profiles.size()).arg(path));
}

void LibraryWindow::exportCsv() {
  ProfileSet set{unit_, {}};
  for (const auto& [number, profile] : readBack_) set.profiles.push_back(profile);
  if (set.profiles.empty()) return say("Read a profile back first.", true);
  const QString path = pathFor(true, "Step table (*.csv)");
  if (path.isEmpty()) return;
  if (writeFile(path, toCsv(set)))
    say(QString("Exported the steps of %1 profile(s) to %2.").arg(set.profiles.size()).arg(path));
}

bool LibraryWindow::writeFile(const QString& path, const std::string& text) {
  // Written whole or not at all: a file that existed stays as it was when this fails.
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly) &&
      file.write(text.data(), static_cast<qint64>(text.size())) ==
          static_cast<qint64>(text.size()) &&
      file.commit())
    return true;
  say("Cannot write " + path + ": " + file.errorString(), true);
  return false;
}

void LibraryWindow::loadFile() {
  replace_->setVisible(false);
  differences_->setVisible(false);
  const auto set = readFile(file_->text());
  if (!set) return;
  const int number = profileNumber(target_);
  if (number == 0) return say("Name the profile to load into (1 to 40).", true);
  if (!readDirectory()) return;
  if (number == directory_.runningProfile)
    return say(QString("Profile %1 is running: it cannot be replaced.").arg(number), true);
  if (std::any_of(directory_.profiles.begin(), directory_.profiles.end(),
                  [number](const auto& e) { return e.number == number; })) {
    pending_ = set->profiles.front();
    pendingUnit_ = set->unit;
    pendingNumber_ = number;
    replace_->setText(QString("Replace profile %1").arg(number));
    replace_->setVisible(true);
    return say(QString("Profile %1 exists on the controller. Press \"Replace profile %1\" to "
                       "delete it and write the file's profile in its place.")
                   .arg(number));
  }
  writeAndVerify(set->profiles.front(), set->unit, number);
}

void LibraryWindow::replaceProfile() {
  replace_->setVisible(false);
  const int number = pendingNumber_;
  if (!pending_) return;
  busy(true);
  const auto outcome = controller_.deleteProfile(number);
  busy(false);
  if (!outcome.ok) return say(QString::fromStdString(outcome.problem), true);
  const Profile profile = *std::exchange(pending_, std::nullopt);
  writeAndVerify(profile, pendingUnit_, number);
}

void LibraryWindow::writeAndVerify(const Profile& fileProfile, int fileUnit, int number) {
  const Profile profile = convertUnit(fileProfile, fileUnit, unit_);
  busy(true);
  auto outcome = controller_.writeProfile(profile, number,
                                          progress(QString("Writing profile %1…").arg(number)));
  const std::string written = outcome.problem;
  // Whatever happened, show what the controller now holds, even after Cancel.
  cancel_ = false;
  Profile held;
  const auto readOutcome = controller_.readProfile(number, held, progress("Reading it back…"));
  busy(false);
  differences_->clear();
  if (readOutcome.ok) {
    readBack_[number] = held;
    if (profileRead) profileRead(held);
    showProfile(held);
  }
  readDirectory();
  if (!outcome.ok)
    return say(QString("Loading stopped: %1.%2")
                   .arg(QString::fromStdString(written))
                   .arg(readOutcome.ok ? " The table shows what the controller now holds." : ""),
               true);
  if (!readOutcome.ok)
    return say(
        "Written, but reading it back failed: " + QString::fromStdString(readOutcome.problem),
        true);
  Profile expected = profile;
  expected.number = number;
  const auto differences = compareProfiles(expected, held);
  for (const std::string& d : differences) differences_->addItem(QString::fromStdString(d));
  differences_->setVisible(!differences.empty());
  const QString converted =
      fileUnit != unit_ ? QString(" (converted to %1)").arg(unitName(unit_)) : QString();
  if (differences.empty())
    say(QString("Profile %1 written%2 and read back: every step as in the file.")
            .arg(number)
            .arg(converted));
  else
    say(QString("Profile %1 written%2, but %3 step(s) read back differently.")
            .arg(number)
            .arg(converted)
            .arg(differences.size()),
        true);
}

void LibraryWindow::compareFile() {
  differences_->clear();
  const auto set = readFile(file_->text());
  if (!set) return;
  const int number = selectedNumber();
  if (number == 0) return say("Name a profile (1 to 40) or choose one in the directory.", true);
  busy(true);
  Profile held;
  const auto outcome =
      controller_.readProfile(number, held, progress(QString("Reading profile %1…").arg(number)));
  busy(false);
  if (!outcome.ok) return finish(outcome, {});
  readBack_[number] = held;
  showProfile(held);
  const auto differences =
      compareProfiles(convertUnit(set->profiles.front(), set->unit, unit_), held);
  for (const std::string& d : differences) differences_->addItem(QString::fromStdString(d));
  differences_->setVisible(!differences.empty());
  say(differences.empty() ? QString("Profile %1 holds every step as the file has it.").arg(number)
                          : QString("Profile %1 differs from the file in %2 step(s).")
                                .arg(number)
                                .arg(differences.size()),
      !differences.empty());
}

}  // namespace profilelibrary
