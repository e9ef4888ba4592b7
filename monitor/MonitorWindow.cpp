#include "MonitorWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <iostream>

#include "NumberText.h"

namespace monitor {

namespace {
// How often collected events are shown: a burst of them costs one insertion.
constexpr int kUpdateMs = 150;
}  // namespace

MonitorWindow::MonitorWindow(EventTable& table, QWidget* parent)
    : QWidget(parent, Qt::Window), table_(table) {
  setObjectName("monitor");
  setWindowTitle("Bus Monitor");
  askSavePath = [this] {
    return QFileDialog::getSaveFileName(this, "Save as Trace", QString(), "Trace (*.trace *.txt)");
  };

  filter_ = new EventFilter(this);
  filter_->setSourceModel(&table_);
  view_ = new QTableView(this);
  view_->setObjectName("tblEvents");
  view_->setAccessibleName("Bus events");
  view_->setModel(filter_);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setWordWrap(false);
  view_->verticalHeader()->hide();
  view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 4);
  view_->horizontalHeader()->setStretchLastSection(true);
  view_->setColumnWidth(EventTable::Time, 70);
  view_->setColumnWidth(EventTable::Layer, 80);
  view_->setColumnWidth(EventTable::Text, 470);

  auto* layers = new QHBoxLayout;
  layers->addWidget(new QLabel("Show:", this));
  const std::pair<trace::Layer, const char*> boxes[] = {
      {trace::Layer::GpibCall, "chkCalls"}, {trace::Layer::GpibData, "chkData"},
      {trace::Layer::Modbus, "chkModbus"},  {trace::Layer::Console, "chkConsole"},
      {trace::Layer::Sim, "chkSim"}};
  for (const auto& [layer, name] : boxes) {
    auto* box = new QCheckBox(layerName(layer), this);
    box->setObjectName(name);
    box->setChecked(true);
    connect(box, &QCheckBox::toggled, this,
            [this, layer = layer](bool on) { filter_->setLayerShown(layer, on); });
    layers->addWidget(box);
  }
  auto* text = new QLineEdit(this);
  text->setObjectName("txtFilter");
  text->setAccessibleName("Filter text");
  text->setPlaceholderText("Filter text");
  text->setClearButtonEnabled(true);
  connect(text, &QLineEdit::textChanged, filter_, &EventFilter::setText);
  layers->addWidget(text, 1);

  auto* actions = new QHBoxLayout;
  auto* pause = new QCheckBox("Pause", this);
  pause->setObjectName("chkPause");
  connect(pause, &QCheckBox::toggled, this, [this](bool on) {
    table_.setPaused(on);
    update();
  });
  follow_ = new QCheckBox("Follow newest", this);
  follow_->setObjectName("chkFollow");
  follow_->setChecked(true);
  actions->addWidget(pause);
  actions->addWidget(follow_);
  auto button = [&](const char* name, const char* caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    actions->addWidget(b);
    return b;
  };
  connect(button("cmdClear", "Clear"), &QPushButton::clicked, this, [this] {
    table_.clear();
    update();
  });
  connect(button("cmdCopy", "Copy"), &QPushButton::clicked, this,
          [this] { QApplication::clipboard()->setText(selectedText()); });
  connect(button("cmdSaveTrace", "Save as Trace..."), &QPushButton::clicked, this, [this] {
    const QString path = askSavePath();
    if (!path.isEmpty()) saveTrace(path);
  });
  count_ = new QLabel(this);
  count_->setObjectName("lblCount");
  actions->addStretch();
  actions->addWidget(count_);

  message_ = new QLabel(this);
  message_->setObjectName("lblMessage");
  message_->setAccessibleName("Monitor message");

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(layers);
  layout->addLayout(actions);
  layout->addWidget(view_, 1);
  layout->addWidget(message_);

  timer_ = new QTimer(this);
  timer_->setInterval(kUpdateMs);
  connect(timer_, &QTimer::timeout, this, &MonitorWindow::update);
  update();
  resize(1000, 600);
}

// Updates only while shown: a hidden monitor costs no wake-ups; the table collects meanwhile.
void MonitorWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  update();
  timer_->start();
}

void MonitorWindow::hideEvent(QHideEvent* event) {
  timer_->stop();
  QWidget::hideEvent(event);
}

void MonitorWindow::update() {
  table_.flush();
  if (follow_->isChecked() && !table_.paused()) view_->scrollToBottom();
  QString text = QString("%1 events").arg(table_.rowCount());
  const std::size_t waiting = table_.collected() - static_cast<std::size_t>(table_.rowCount());
  if (waiting > 0) text += QString(", %1 waiting").arg(waiting);
  if (table_.dropped() > 0) text += QString(", %1 older dropped").arg(table_.dropped());
  count_->setText(text);
}

QString MonitorWindow::selectedText() const {
  std::vector<int> rows;
  for (const QModelIndex& index : view_->selectionModel()->selectedRows())
    rows.push_back(filter_->mapToSource(index).row());
  std::sort(rows.begin(), rows.end());
  return table_.linesOf(rows);
}

bool MonitorWindow::saveTrace(const QString& path) {
  QFile file(path);
  const QByteArray text = QByteArray::fromStdString(table_.traceText());
  const bool saved = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                     file.write(text) == text.size() && file.flush();
  const QString shown = QString::fromStdString(bus::printableText(path.toStdString()));
  message_->setText(saved ? "Trace saved to " + shown
                          : "Cannot write the trace to " + shown + ": " + file.errorString());
  if (!saved) std::cerr << "gpib-modbus-console: " << message_->text().toStdString() << "\n";
  return saved;
}

}  // namespace monitor
