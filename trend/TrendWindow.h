#pragma once

#include <QChartView>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "DataLog.h"
#include "Plan.h"
#include "Readings.h"

class QAbstractAxis;
class QCheckBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QRadioButton;
class QScatterSeries;
class QTimer;
class QValueAxis;

namespace trend {

// The chart area: the wheel zooms around the cursor, a drawn rectangle zooms to it, dragging
// with the right or middle button (or Shift and the left) pans; the values under the cursor are
// reported as it moves.
class ChartView final : public QChartView {
  Q_OBJECT
 public:
  explicit ChartView(QChart* chart, QWidget* parent = nullptr);

 signals:
  void zoomed(double factor, double atX);  // factor < 1 zooms in, around axis value atX
  void panned(QPointF pixels);
  void hovered(double x);  // axis value under the cursor
  void userChangedView();

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool panning_ = false;
  QPointF last_;
};

// Temperature and set point over time, with the events that changed them, drawn from the
// readings the console already makes, beside the set point a running profile plans; and the data
// log's controls. A data log written earlier can be shown instead of the live readings, which
// keep being gathered meanwhile.
class TrendWindow final : public QWidget {
  Q_OBJECT
 public:
  struct Settings {
    bool virtualTime = false;        // elapsed seconds on the time axis instead of local time
    std::int64_t originEpochMs = 0;  // wall-clock time of elapsed 0
  };

  TrendWindow(const Readings& readings, DataLog& log, Settings settings, QWidget* parent = nullptr);

  // New readings arrived: the chart is redrawn within a few hundred milliseconds.
  void changed();
  // Reduces the readings in view and hands them to the chart, now.
  void redraw();
  int redraws() const { return redraws_; }

  // The time span followed, in seconds; 0 for all readings.
  void setSpan(double seconds);
  void setFollowing(bool follow);
  bool following() const { return following_; }
  // Zooms by `factor` around elapsed time t, or pans by seconds: both stop following.
  void zoom(double factor, double t);
  void pan(double seconds);
  void resetView();
  // The elapsed times in view.
  double viewStart() const { return t0_; }
  double viewEnd() const { return t1_; }

  // Saves the chart as PNG or SVG, chosen by the file's suffix. False with a message shown
  // when the file cannot be written.
  bool saveChart(const QString& path);
  // Starts the data log in `path`; false with a message shown when it cannot be written.
  bool startLog(const QString& path);
  void stopLog();
  // Logging stopped by itself: the log's reason is shown.
  void logStopped();

  // The text under the cursor for elapsed time t: time, both values, the planned set point and
  // the temperature's deviation from it, and a nearby event.
  QString valuesAt(double t) const;

  // The set point a running profile plans, drawn beside the readings, with the step running at
  // the newest reading marked; a plan without points clears it. Not drawn while reviewing a log.
  void setPlan(Plan plan);
  const Plan& plan() const { return plan_; }

  // Shows the readings of a data log instead of the live ones. False, with the reason shown and
  // the window as it was, when the file cannot be read or is not a data log.
  bool openLog(const QString& path);
  // Shows the live readings again.
  void showLive();
  bool reviewing() const { return reviewed_ != nullptr; }

  // Ask the operator for a file to write or to read (file dialogs unless replaced, as tests do).
  std::function<QString(const QString& title, const QString& filter)> askSavePath;
  std::function<QString(const QString& title, const QString& filter)> askOpenPath;

 private:
  void build();
  void placeAxes();
  void showLogState();
  void placePlanSeries();
  void drawPlan();
  QString planText() const;
  void showMessage(QLabel* label, const QString& text);
  double toAxis(double t) const;
  double fromAxis(double x) const;
  QString timeText(double t) const;
  void setLines(std::vector<QLineSeries*>& pool, const std::vector<Polyline>& lines,
                const QColor& colour, Qt::PenStyle style, const QString& name, bool steps);

  const Readings& liveReadings_;
  const Readings* readings_;  // the live readings, or the log under review
  std::unique_ptr<Readings> reviewed_;
  DataLog& log_;
  Settings settings_;
  std::int64_t originMs_;  // local time of elapsed 0 of the readings shown
  Plan plan_;

  QChart* chart_ = nullptr;
  ChartView* view_ = nullptr;
  QAbstractAxis* xAxis_ = nullptr;
  QValueAxis* yAxis_ = nullptr;
  std::vector<QLineSeries*> temperatureLines_;
  std::vector<QLineSeries*> setPointLines_;
  std::array<QScatterSeries*, 6> eventMarks_{};
  QLineSeries* planLine_ = nullptr;  // while a plan is drawn
  QLineSeries* stepLine_ = nullptr;
  QRadioButton* span1m_ = nullptr;
  QRadioButton* span10m_ = nullptr;
  QRadioButton* span1h_ = nullptr;
  QRadioButton* spanAll_ = nullptr;
  QCheckBox* follow_ = nullptr;
  QLabel* cursor_ = nullptr;
  QLabel* logState_ = nullptr;
  QLabel* planState_ = nullptr;
  QLabel* reviewState_ = nullptr;
  QLabel* message_ = nullptr;
  QPushButton* stopLog_ = nullptr;
  QPushButton* backToLive_ = nullptr;
  QTimer* redrawTimer_ = nullptr;

  double span_ = 600;
  bool following_ = true;
  bool dirty_ = true;
  bool userY_ = false;
  double t0_ = 0, t1_ = 60;
  int redraws_ = 0;
};

}  // namespace trend
