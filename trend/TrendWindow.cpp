#include "TrendWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScatterSeries>
#include <QSignalBlocker>
#include <QSvgGenerator>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <iostream>
#include <utility>

#include "LogReader.h"
#include "NumberText.h"

namespace trend {

namespace {

// Redraws at most this often, however fast readings come.
constexpr int kRedrawMs = 300;
// Events drawn per kind in one view; more of them in view would be one smudge anyway.
constexpr std::size_t kMostMarks = 2000;

const QColor kTemperature(200, 30, 30);
const QColor kSetPoint(30, 80, 200);
const QColor kPlan(0, 150, 140);

struct Mark {
  EventKind kind;
  const char* legend;
  QColor colour;
  QScatterSeries::MarkerShape shape;
};
const Mark kMarks[] = {
    {EventKind::SetPointWritten, "Set point written", QColor(30, 80, 200),
     QScatterSeries::MarkerShapeTriangle},
    {EventKind::SetPointOff, "Set point off", QColor(110, 110, 110),
     QScatterSeries::MarkerShapeTriangle},
    {EventKind::UnitChanged, "Unit changed", QColor(140, 40, 160),
     QScatterSeries::MarkerShapeRectangle},
    {EventKind::ProfileRun, "Profile run", QColor(20, 140, 60), QScatterSeries::MarkerShapeStar},
    {EventKind::ProfileStop, "Profile stop", QColor(200, 120, 0), QScatterSeries::MarkerShapeStar},
    {EventKind::BusError, "Bus error", QColor(230, 0, 0), QScatterSeries::MarkerShapeCircle},
};

QString number(double value) { return QString::number(value, 'g', 6); }

// "+1.6", "-0.4", "0.0": a deviation to a tenth, with its sign.
QString signedTenths(double value) {
  const double tenths = std::round(value * 10) / 10;
  return (tenths > 0 ? "+" : "") + QString::number(tenths == 0 ? 0.0 : tenths, 'f', 1);
}

// "432,000"
QString grouped(std::size_t count) {
  QString text = QString::number(count);
  for (qsizetype at = text.size() - 3; at > 0; at -= 3) text.insert(at, ',');
  return text;
}

QString printable(const QString& text) {
  return QString::fromStdString(bus::printableText(text.toStdString()));
}

}  // namespace

// ---- the chart area ----------------------------------------------------------------------

ChartView::ChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
  setRubberBand(QChartView::RectangleRubberBand);
  setMouseTracking(true);
  setRenderHint(QPainter::Antialiasing, false);
}

void ChartView::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0) return;
  const QPointF value = chart()->mapToValue(event->position());
  emit zoomed(std::pow(0.8, steps), value.x());
  event->accept();
}

void ChartView::mousePressEvent(QMouseEvent* event) {
  const bool pan = event->button() == Qt::MiddleButton || event->button() == Qt::RightButton ||
                   (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
  if (pan) {
    panning_ = true;
    last_ = event->position();
    event->accept();
    return;
  }
  QChartView::mousePressEvent(event);
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
  if (panning_) {
    emit panned(event->position() - last_);
    last_ = event->position();
  }
  emit hovered(chart()->mapToValue(event->position()).x());
  QChartView::mouseMoveEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
  if (panning_) {
    panning_ = false;
    event->accept();
    return;
  }
  const bool zoomedByRectangle = event->button() == Qt::LeftButton;
  QChartView::mouseReleaseEvent(event);
  if (zoomedByRectangle) emit userChangedView();
}

// ---- the window ----------------------------------------------------------------------------

TrendWindow::TrendWindow(const Readings& readings, DataLog& log, Settings settings, QWidget* parent)
    : QWidget(parent, Qt::Window),
      liveReadings_(readings),
      readings_(&readings),
      log_(log),
      settings_(settings),
      originMs_(settings.originEpochMs) {
  setObjectName("trend");
  setWindowTitle("Temperature Trend");
  askSavePath = [this](const QString& title, const QString& filter) {
    return QFileDialog::getSaveFileName(this, title, QString(), filter);
  };
  askOpenPath = [this](const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(this, title, QString(), filter);
  };
  build();
  resize(900, 560);
}

void TrendWindow::build() {
  chart_ = new QChart;
  chart_->legend()->setAlignment(Qt::AlignBottom);
  chart_->setMargins(QMargins(4, 4, 4, 4));
  view_ = new ChartView(chart_, this);
  view_->setObjectName("chartTrend");
  view_->setAccessibleName("Temperature and set point over time");

  if (settings_.virtualTime) {
    auto* axis = new QValueAxis;
    axis->setTitleText("Elapsed (s)");
    axis->setLabelFormat("%.0f");
    xAxis_ = axis;
  } else {
    auto* axis = new QDateTimeAxis;
    axis->setTitleText("Local time");
    axis->setFormat("HH:mm:ss");
    xAxis_ = axis;
  }
  yAxis_ = new QValueAxis;
  chart_->addAxis(xAxis_, Qt::AlignBottom);
  chart_->addAxis(yAxis_, Qt::AlignLeft);
  for (std::size_t i = 0; i < std::size(kMarks); ++i) {
    auto* marks = new QScatterSeries;
    marks->setName(kMarks[i].legend);
    marks->setColor(kMarks[i].colour);
    marks->setBorderColor(kMarks[i].colour);
    marks->setMarkerShape(kMarks[i].shape);
    marks->setMarkerSize(11);
    chart_->addSeries(marks);
    marks->attachAxis(xAxis_);
    marks->attachAxis(yAxis_);
    eventMarks_[i] = marks;
  }
  // The operator's zoom by rectangle changes the axes; from then on the view is theirs.
  connect(view_, &ChartView::userChangedView, this, [this] {
    setFollowing(false);
    if (auto* x = qobject_cast<QValueAxis*>(xAxis_)) {
      t0_ = fromAxis(x->min()), t1_ = fromAxis(x->max());
    } else if (auto* d = qobject_cast<QDateTimeAxis*>(xAxis_)) {
      t0_ = fromAxis(static_cast<double>(d->min().toMSecsSinceEpoch()));
      t1_ = fromAxis(static_cast<double>(d->max().toMSecsSinceEpoch()));
    }
    userY_ = true;
    changed();
  });
  connect(view_, &ChartView::zoomed, this,
          [this](double factor, double x) { zoom(factor, fromAxis(x)); });
  connect(view_, &ChartView::panned, this, [this](QPointF pixels) {
    const double width = std::max(1.0, chart_->plotArea().width());
    pan(-pixels.x() / width * (t1_ - t0_));
  });
  connect(view_, &ChartView::hovered, this,
          [this](double x) { cursor_->setText(valuesAt(fromAxis(x))); });

  auto* spans = new QHBoxLayout;
  auto* group = new QButtonGroup(this);
  auto option = [&](QRadioButton*& button, const char* name, const char* caption, double seconds) {
    button = new QRadioButton(caption, this);
    button->setObjectName(name);
    group->addButton(button);
    spans->addWidget(button);
    connect(button, &QRadioButton::toggled, this, [this, seconds](bool on) {
      if (on) setSpan(seconds);
    });
  };
  spans->addWidget(new QLabel("Span:", this));
  option(span1m_, "optSpan1m", "1 min", 60);
  option(span10m_, "optSpan10m", "10 min", 600);
  option(span1h_, "optSpan1h", "1 h", 3600);
  option(spanAll_, "optSpanAll", "All", 0);
  {
    const QSignalBlocker quiet(span10m_);
    span10m_->setChecked(true);  // span_ starts at ten minutes
  }
  follow_ = new QCheckBox("Follow newest", this);
  follow_->setObjectName("chkFollow");
  follow_->setChecked(true);
  connect(follow_, &QCheckBox::toggled, this, [this](bool on) { setFollowing(on); });
  spans->addWidget(follow_);
  auto button = [&](const char* name, const char* caption, QHBoxLayout* row = nullptr) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    (row ? row : spans)->addWidget(b);
    return b;
  };
  connect(button("cmdReset", "Reset View"), &QPushButton::clicked, this, &TrendWindow::resetView);
  connect(button("cmdSaveChart", "Save Chart..."), &QPushButton::clicked, this, [this] {
    const QString path = askSavePath("Save Chart", "PNG image (*.png);;SVG drawing (*.svg)");
    if (!path.isEmpty()) saveChart(path);
  });
  connect(button("cmdSaveCsv", "Log to CSV..."), &QPushButton::clicked, this, [this] {
    const QString path = askSavePath("Log to CSV", "CSV file (*.csv)");
    if (!path.isEmpty()) startLog(path);
  });
  stopLog_ = button("cmdStopLog", "Stop Log");
  connect(stopLog_, &QPushButton::clicked, this, &TrendWindow::stopLog);
  spans->addStretch();
  // A log written earlier, under the chart beside what it says of the log shown.
  auto* review = new QHBoxLayout;
  connect(button("cmdOpenLog", "Open Log...", review), &QPushButton::clicked, this, [this] {
    const QString path = askOpenPath("Open Log", "CSV file (*.csv);;All files (*)");
    if (!path.isEmpty()) openLog(path);
  });
  backToLive_ = button("cmdLive", "Back to Live", review);
  backToLive_->setEnabled(false);
  connect(backToLive_, &QPushButton::clicked, this, &TrendWindow::showLive);

  cursor_ = new QLabel(this);
  cursor_->setObjectName("lblCursor");
  cursor_->setAccessibleName("Values under the cursor");
  logState_ = new QLabel(this);
  logState_->setObjectName("lblLog");
  logState_->setAccessibleName("Data log");
  logState_->setWordWrap(true);
  auto label = [this](const char* name, const char* accessibleName) {
    auto* l = new QLabel(this);
    l->setObjectName(name);
    l->setAccessibleName(accessibleName);
    l->setWordWrap(true);
    l->hide();  // until it has something to say
    return l;
  };
  planState_ = label("lblPlan", "Profile step");
  reviewState_ = label("lblReview", "Log under review");
  message_ = label("lblMessage", "Message");
  review->addWidget(reviewState_, 1);
  review->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(spans);
  layout->addWidget(view_, 1);
  layout->addWidget(cursor_);
  layout->addWidget(planState_);
  layout->addLayout(review);
  layout->addWidget(message_);
  layout->addWidget(logState_);

  redrawTimer_ = new QTimer(this);
  redrawTimer_->setSingleShot(true);
  redrawTimer_->setInterval(kRedrawMs);
  connect(redrawTimer_, &QTimer::timeout, this, &TrendWindow::redraw);
  showLogState();
  redraw();
}

void TrendWindow::changed() {
  dirty_ = true;
  if (reviewed_) return;  // the live readings are drawn again on the way back
  // The step the run is at is said at once; the chart follows with the next redraw.
  if (planLine_) showMessage(planState_, planText());
  if (isVisible() && !redrawTimer_->isActive()) redrawTimer_->start();
}

double TrendWindow::toAxis(double t) const {
  return settings_.virtualTime ? t : static_cast<double>(originMs_) + t * 1000.0;
}

double TrendWindow::fromAxis(double x) const {
  return settings_.virtualTime ? x : (x - static_cast<double>(originMs_)) / 1000.0;
}

QString TrendWindow::timeText(double t) const {
  if (settings_.virtualTime) return QString::number(t, 'f', 1) + " s";
  return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(toAxis(t))))
      .toString("HH:mm:ss");
}

void TrendWindow::setSpan(double seconds) {
  span_ = seconds;
  resetView();
}

void TrendWindow::setFollowing(bool follow) {
  following_ = follow;
  if (follow) userY_ = false;
  if (follow_->isChecked() != follow) follow_->setChecked(follow);
  changed();
}

void TrendWindow::zoom(double factor, double t) {
  if (!(factor > 0) || !std::isfinite(t)) return;
  setFollowing(false);
  const double start = t - (t - t0_) * factor, end = t + (t1_ - t) * factor;
  if (end - start < 1.0) return;  // a second across is as close as readings come
  t0_ = start, t1_ = end;
  changed();
}

void TrendWindow::pan(double seconds) {
  if (!std::isfinite(seconds)) return;
  setFollowing(false);
  t0_ += seconds, t1_ += seconds;
  changed();
}

void TrendWindow::resetView() {
  userY_ = false;
  setFollowing(true);
  redraw();
}

void TrendWindow::placeAxes() {
  if (following_) {
    // The curve grows from the left until it fills the span, then the view moves with it.
    const double oldest = readings_->first(), newest = readings_->last();
    const double span = span_ > 0 ? span_ : std::max(newest - oldest, 1.0);
    t1_ = std::max(newest, oldest + span);
    t0_ = t1_ - span;
  }
  if (auto* x = qobject_cast<QValueAxis*>(xAxis_)) {
    x->setRange(t0_, t1_);
  } else if (auto* d = qobject_cast<QDateTimeAxis*>(xAxis_)) {
    d->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(toAxis(t0_))),
                QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(toAxis(t1_))));
  }
}

void TrendWindow::setLines(std::vector<QLineSeries*>& pool, const std::vector<Polyline>& lines,
                           const QColor& colour, Qt::PenStyle style, const QString& name,
                           bool steps) {
  // One series per unbroken line, kept for reuse; only the first one shows in the legend.
  const std::size_t needed = std::max<std::size_t>(1, lines.size());
  while (pool.size() < needed) {
    auto* series = new QLineSeries;
    QPen pen(colour, 1, style);
    series->setPen(pen);
    series->setName(name);
    chart_->addSeries(series);
    series->attachAxis(xAxis_);
    series->attachAxis(yAxis_);
    if (!pool.empty())
      for (QLegendMarker* marker : chart_->legend()->markers(series)) marker->setVisible(false);
    pool.push_back(series);
  }
  for (std::size_t i = 0; i < pool.size(); ++i) {
    QList<QPointF> points;
    if (i < lines.size()) {
      const std::vector<Point>& line = lines[i].points;
      points.reserve(static_cast<qsizetype>(line.size() * (steps ? 2 : 1)));
      for (std::size_t k = 0; k < line.size(); ++k) {
        // A set point holds until the next one: drawn as steps.
        if (steps && k > 0) points.append({toAxis(line[k].t), line[k - 1].value});
        points.append({toAxis(line[k].t), line[k].value});
      }
    }
    pool[i]->replace(points);
  }
}

void TrendWindow::redraw() {
  dirty_ = false;
  ++redraws_;
  placeAxes();
  const int columns = std::max(50, static_cast<int>(chart_->plotArea().width()));
  const std::vector<Polyline> temperature = reduce(readings_->temperature(), t0_, t1_, columns);
  std::vector<Polyline> setPoint = reduce(readings_->setPoint(), t0_, t1_, columns);
  // The newest set point holds up to the newest reading.
  if (!setPoint.empty() && !setPoint.back().points.empty() &&
      setPoint.back().points.back().t < readings_->last()) {
    const auto& last = readings_->setPoint().back();
    if (!std::isnan(last.value) && last.t == setPoint.back().points.back().t)
      setPoint.back().points.push_back({readings_->last(), setPoint.back().points.back().value});
  }
  const char unit = readings_->unit();
  setLines(temperatureLines_, temperature, kTemperature, Qt::SolidLine,
           QString("Temperature (°%1)").arg(unit), false);
  setLines(setPointLines_, setPoint, kSetPoint, Qt::DashLine, "Set point", true);

  if (!userY_) {
    double low = INFINITY, high = -INFINITY;
    const auto include = [&](double value) {
      low = std::min(low, value), high = std::max(high, value);
    };
    for (const std::vector<Polyline>* lines :
         {&temperature, static_cast<const std::vector<Polyline>*>(&setPoint)})
      for (const Polyline& line : *lines)
        for (const Point& p : line.points)
          if (p.t >= t0_ && p.t <= t1_) include(p.value);
    if (planLine_) {
      // The plan as it crosses the edges of the view, and its corners between them.
      for (double edge : {t0_, t1_})
        if (const auto planned = plannedAt(plan_, edge)) include(*planned);
      for (const QPointF& corner : plan_.points)
        if (corner.x() >= t0_ && corner.x() <= t1_) include(corner.y());
    }
    if (!std::isfinite(low)) low = 60, high = 90;
    const double margin = std::max(1.0, (high - low) * 0.08);
    yAxis_->setRange(std::floor(low - margin * 2), std::ceil(high + margin));
  }
  // The axis names the unit of the newest readings; a change of unit breaks the curves.
  yAxis_->setTitleText(QString("Temperature (°%1)").arg(unit));

  std::array<QList<QPointF>, std::size(kMarks)> marks;
  const auto& events = readings_->events();
  auto from = std::lower_bound(events.begin(), events.end(), t0_,
                               [](const Readings::Event& e, double t) { return e.t < t; });
  const double y = yAxis_->min() + (yAxis_->max() - yAxis_->min()) * 0.03;
  for (auto it = from; it != events.end() && it->t <= t1_; ++it) {
    auto& list = marks[static_cast<std::size_t>(it->kind)];
    if (static_cast<std::size_t>(list.size()) < kMostMarks) list.append({toAxis(it->t), y});
  }
  for (std::size_t i = 0; i < std::size(kMarks); ++i) eventMarks_[i]->replace(marks[i]);
  drawPlan();
}

void TrendWindow::setPlan(Plan plan) {
  plan_ = tidied(std::move(plan));
  if (plan_.points.empty()) plan_ = Plan{};
  placePlanSeries();
  redraw();
}

void TrendWindow::placePlanSeries() {
  if (plan_.points.empty() || reviewed_) {
    for (QLineSeries** series : {&planLine_, &stepLine_})
      if (*series) {
        chart_->removeSeries(*series);
        delete std::exchange(*series, nullptr);
      }
    return;
  }
  if (planLine_) return;
  const auto add = [this](const QString& name, const QPen& pen) {
    auto* series = new QLineSeries;
    series->setName(name);
    series->setPen(pen);
    chart_->addSeries(series);
    series->attachAxis(xAxis_);
    series->attachAxis(yAxis_);
    return series;
  };
  planLine_ = add("Planned set point", QPen(kPlan, 2, Qt::DashLine));
  stepLine_ = add("Current step", QPen(kPlan, 1, Qt::DotLine));
  for (QLegendMarker* marker : chart_->legend()->markers(stepLine_)) marker->setVisible(false);
}

void TrendWindow::drawPlan() {
  showMessage(planState_, planLine_ ? planText() : QString());
  if (!planLine_) return;
  // The corners in view, and one on either side so that the line runs to the edges.
  const std::vector<QPointF>& corners = plan_.points;
  auto from = std::lower_bound(corners.begin(), corners.end(), t0_,
                               [](const QPointF& c, double t) { return c.x() < t; });
  auto to = std::upper_bound(corners.begin(), corners.end(), t1_,
                             [](double t, const QPointF& c) { return t < c.x(); });
  if (from != corners.begin()) --from;
  if (to != corners.end()) ++to;
  QList<QPointF> points;
  for (auto it = from; it != to; ++it) points.append({toAxis(it->x()), it->y()});
  planLine_->replace(points);
  // A line across the plot where the step running at the newest reading started.
  QList<QPointF> mark;
  const double newest = readings_->last();
  if (const auto step = stepAt(plan_, newest); step && newest <= corners.back().x())
    mark = {{toAxis(step->first), yAxis_->min()}, {toAxis(step->first), yAxis_->max()}};
  stepLine_->replace(mark);
}

QString TrendWindow::planText() const {
  QString text = QString("Profile %1").arg(plan_.profile);
  const int steps = stepCount(plan_);
  if (steps == 0) return text;
  const double newest = readings_->last();
  const auto step = stepAt(plan_, newest);
  if (newest > plan_.points.back().x()) return text + QString(", ended (%1 steps)").arg(steps);
  if (!step) return text + QString(", not started (%1 steps)").arg(steps);
  return text + QString(", step %1 of %2").arg(step->second).arg(steps);
}

void TrendWindow::showMessage(QLabel* label, const QString& text) {
  label->setText(text);
  label->setVisible(!text.isEmpty());
}

bool TrendWindow::openLog(const QString& path) {
  const LogContents log = loadLog(path.toStdString());
  if (log.records.empty()) {
    showMessage(message_,
                "Cannot review " + printable(path) + ": " + QString::fromStdString(log.problem));
    return false;
  }
  auto readings = std::make_unique<Readings>();
  for (const Record& record : log.records) readings->add(record);
  reviewed_ = std::move(readings);
  readings_ = reviewed_.get();
  // A log written in virtual time has no times: its elapsed time reads as hours from midnight.
  originMs_ =
      log.originEpochMs.value_or(QDateTime(QDate(2000, 1, 1), QTime(0, 0)).toMSecsSinceEpoch());
  const QString name = printable(QFileInfo(path).fileName());
  QString from = timeText(readings_->first());
  if (!settings_.virtualTime && log.originEpochMs)
    from = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(toAxis(readings_->first())))
               .toString("yyyy-MM-dd HH:mm:ss");
  QString text = QString("Reviewing %1: %2 rows from %3 to %4")
                     .arg(name, grouped(log.rows), from, timeText(readings_->last()));
  if (log.runs > 1) text += QString(", %1 sessions").arg(log.runs);
  if (!log.problem.empty()) text += " (" + QString::fromStdString(log.problem) + ")";
  showMessage(reviewState_, text);
  showMessage(message_, {});
  backToLive_->setEnabled(true);
  setWindowTitle("Temperature Trend: " + name);
  cursor_->clear();  // it spoke of the other readings
  placePlanSeries();
  resetView();
  return true;
}

void TrendWindow::showLive() {
  readings_ = &liveReadings_;
  reviewed_.reset();
  originMs_ = settings_.originEpochMs;
  showMessage(reviewState_, {});
  showMessage(message_, {});
  backToLive_->setEnabled(false);
  setWindowTitle("Temperature Trend");
  cursor_->clear();
  placePlanSeries();
  resetView();
}

QString TrendWindow::valuesAt(double t) const {
  QString text = timeText(t);
  const auto temperature = readings_->temperatureAt(t);
  const auto setPoint = readings_->setPointAt(t);
  if (temperature) {
    const QString unit = QString("°%1").arg(readings_->unitOf(temperature->segment));
    text += "   Temperature " + (std::isnan(temperature->value)
                                     ? QString("(no reading)")
                                     : number(temperature->value) + " " + unit);
  }
  if (setPoint)
    text +=
        "   Set point " + (std::isnan(setPoint->value) ? QString("off") : number(setPoint->value));
  if (const auto planned = planLine_ ? plannedAt(plan_, t) : std::nullopt) {
    text += "   Planned " + QString::number(*planned, 'f', 1);
    if (temperature && !std::isnan(temperature->value))
      text += ", deviation " + signedTenths(temperature->value - *planned);
  }
  // An event within a few pixels of the cursor.
  const double near = (t1_ - t0_) / std::max(50.0, chart_->plotArea().width()) * 4;
  for (const Readings::Event& e : readings_->events())
    if (std::abs(e.t - t) <= near) {
      text += "   [" + QString::fromStdString(e.text) + "]";
      break;
    }
  return text;
}

bool TrendWindow::saveChart(const QString& path) {
  bool saved = false;
  if (path.endsWith(".svg", Qt::CaseInsensitive)) {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(view_->size());
    svg.setViewBox(QRect(QPoint(0, 0), view_->size()));
    svg.setTitle("Temperature trend");
    QPainter painter;
    if (painter.begin(&svg)) {
      view_->render(&painter);
      saved = painter.end();
    }
    // QSvgGenerator reports no write error of its own: the file must exist and hold something.
    saved = saved && QFileInfo(path).size() > 0;
  } else {
    saved = view_->grab().save(path, "PNG");
  }
  logState_->setText(saved ? "Chart saved to " + path : "Cannot write the chart to " + path);
  if (!saved)
    std::cerr << "gpib-modbus-console: cannot write the chart to "
              << bus::printableText(path.toStdString()) << "\n";
  return saved;
}

bool TrendWindow::startLog(const QString& path) {
  const bool ok = log_.open(path.toStdString());
  if (!ok) std::cerr << "gpib-modbus-console: " << log_.problem() << "\n";
  showLogState();
  return ok;
}

void TrendWindow::stopLog() {
  log_.close();
  showLogState();
}

void TrendWindow::logStopped() { showLogState(); }

void TrendWindow::showLogState() {
  if (log_.active())
    logState_->setText("Logging to " + QString::fromStdString(log_.path()));
  else if (!log_.problem().empty())
    logState_->setText(QString::fromStdString(log_.problem()));
  else
    logState_->setText("Not logging");
  stopLog_->setEnabled(log_.active());
}

}  // namespace trend
