#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QChartView>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineSeries>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "Collector.h"
#include "Controls.h"
#include "DataLog.h"
#include "ExtraWindows.h"
#include "MainWindow.h"
#include "NumberText.h"
#include "Observers.h"
#include "Readings.h"
#include "SimulatedBus.h"
#include "SimulatedConsole.h"
#include "TrendWindow.h"

namespace {

using namespace testing_support;
using trend::Record;
using trend::Sample;

const float kGap = NAN;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return (std::ostringstream() << in.rdbuf()).str();
}

// A record in one word or two: "T75", "T-" (not a number), "S90", "Soff", or the event's text.
std::string shown(const Record& r) {
  switch (r.what) {
    case Record::What::Temperature:
      return "T" + (r.temperature ? bus::plainNumberText(*r.temperature) : "-") + r.unit;
    case Record::What::SetPoint:
      return "S" + (r.setPointOff ? "off" : bus::plainNumberText(r.setPoint.value_or(-1)));
    case Record::What::Event:
      return "[" + r.eventText + "]";
  }
  return "?";
}

// The main window on the simulated bench, with the extra windows beside it, as the console runs.
struct Console : SimulatedConsole {
  extrawindows::ExtraWindows extras{
      main, clock, observers, events, {.virtualTime = true, .driverLine = "Driver: test bench"}};
};

void press(QWidget* window, const char* name) {
  auto* button = window->findChild<QAbstractButton*>(name);
  ASSERT_TRUE(button) << name;
  button->click();
}

// Every reading the console already makes becomes a record; nothing is added on the wire.
TEST(Collector, GathersWhatTheHandlersReadAndWrite) {
  bus::VirtualClock clock;
  sim::SimulatedBus driver{clock};
  // Readings known beforehand, at the handlers' own times: the linear chamber, an instant link.
  driver.controller().setChamberModel(sim::Chamber::Model::Linear);
  driver.converter().setPaced(false);
  bus::SilentSound sound;
  bus::Observers observers;
  trend::Collector collector(clock);
  observers.add(&collector);
  bus::GPIB32 gpib{driver, clock, sound, &observers};
  gpib.InterfaceName = "GPIB";
  console::MainWindow w{gpib};
  std::string got;
  collector.addListener([&](const Record& r) {
    got += shown(r) + "@" + bus::plainNumberText(std::round(r.elapsed * 10) / 10) + " ";
  });
  const auto act = [&](const char* step) {
    for (const QString& n : QString(step).split(' ')) {
      if (n.startsWith('='))
        type(w, "txtSetPt", n.mid(1).toStdString());
      else if (n.startsWith('#'))
        type(w, "txtProfile", n.mid(1).toStdString());
      else if (n.startsWith('~'))
        clock.sleepFor(n.mid(1).toDouble());
      else
        click(w, n);
    }
    const std::string out = got;
    got.clear();
    return out;
  };
  const std::pair<const char*, const char*> rows[] = {
      {"cmdInitialize", ""},
      {"cmdRdTemp", "T75F@0.3 "},
      {"cmdStatic =90 cmdSetPt", "[set point 90]@0.4 "},
      {"~10 cmdRdTemp cmdRdSetPt", "T90F@10.5 S90@10.6 "},
      {"cmdStopSetPt cmdRdSetPt", "[set point off]@10.6 Soff@10.7 "},
      {"optUnits(1)", "[unit C]@10.7 "},
      {"#1 cmdRunProfile", "[profile 1 run]@10.7 [Modbus error 3]@11 "},
      {"cmdStop", "[profile stop]@11 "},
  };
  for (const auto& [step, expected] : rows) EXPECT_EQ(act(step), expected) << step;
  // A reading that fails on the Modbus side is a gap; a converter gone is a bus error too.
  driver.setRegisterSilent(100);
  EXPECT_EQ(act("cmdRdTemp"), "T-C@11.1 [Modbus error 101]@11.1 ");
  driver.setConverterPresent(false);
  EXPECT_EQ(act("cmdRdTemp"),
            "[Send ENOL]@11.1 T-C@12.2 [Receive EABO]@12.2 [Send ENOL]@12.2 [Receive EABO]@13.2 ");
  // The hexadecimal reply format is read as such ("001F").
  driver.setConverterPresent(true), driver.clearRegisterFault(100);
  EXPECT_EQ(act("optHex cmdRdTemp optDecimal"), "T31C@13.3 ");
}

TEST(Reduce, KeepsPeaksGapsAndUnitSegments) {
  const auto render = [](const std::vector<trend::Polyline>& lines) {
    std::string text;
    for (const auto& line : lines) {
      text += "|" + std::to_string(line.segment) + ":";
      for (const auto& p : line.points)
        text += " " + bus::plainNumberText(p.t) + "=" + bus::plainNumberText(p.value);
    }
    return text;
  };
  const std::vector<Sample> few = {{0, 1, 0}, {1, 2, 0}, {2, kGap, 0},
                                   {3, 4, 0}, {4, 5, 1}, {5, 6, 1}};
  EXPECT_EQ(render(trend::reduce(few, 0, 5, 10)), "|0: 0=1 1=2|0: 3=4|1: 4=5 5=6");
  // One sample beyond either edge keeps the line running to the edges.
  EXPECT_EQ(render(trend::reduce(few, 1.5, 4.5, 10)), "|0: 1=2|0: 3=4|1: 4=5 5=6");
  EXPECT_EQ(render(trend::reduce(few, 3, 2, 10)), "");
  // 1000 samples on 10 columns: each column's first, lowest, highest and last, in time order.
  std::vector<Sample> many;
  for (int i = 0; i < 1000; ++i) many.push_back({i / 10.0, static_cast<float>(i % 7), 0});
  many[555].value = 50;
  const auto lines = trend::reduce(many, 0, 100, 10);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_LE(lines[0].points.size(), 40u);
  double peak = 0;
  for (const auto& p : lines[0].points) peak = std::max(peak, p.value);
  EXPECT_EQ(peak, 50);
  EXPECT_EQ(render({{0, {lines[0].points.begin(), lines[0].points.begin() + 4}}}),
            "|0: 0=0 0.6=6 9.9=1 10=2");
}

TEST(Readings, UnitChangeStartsASegmentOnceSomethingWasDrawn) {
  trend::Readings r;
  Record rec;
  rec.unit = 'C';
  rec.what = Record::What::Event;
  r.add(rec);  // nothing drawn yet: the first segment simply is in C
  rec.what = Record::What::Temperature, rec.temperature = 20, rec.elapsed = 1;
  r.add(rec);
  rec.unit = 'F', rec.temperature = 68, rec.elapsed = 2;
  r.add(rec);
  rec.what = Record::What::Event, rec.event = trend::EventKind::SetPointOff, rec.elapsed = 3;
  r.add(rec);
  EXPECT_EQ(std::string() + r.unitOf(0) + r.unitOf(1) + r.unit(), "CFF");
  ASSERT_EQ(r.temperature().size(), 2u);
  EXPECT_EQ(r.temperature()[1].segment, 1u);
  ASSERT_EQ(r.setPoint().size(), 1u);  // the off event leaves a gap in the set point
  EXPECT_TRUE(std::isnan(r.setPoint()[0].value));
  EXPECT_EQ(r.temperatureAt(1.5)->value, 20);
  EXPECT_FALSE(r.temperatureAt(0.5));
  EXPECT_EQ(r.first() + r.last(), 3);
}

TEST(DataLog, RowsQuotedAppendedAndStoppedOnError) {
  Record r;
  r.elapsed = 12.3456, r.temperature = 75.5, r.setPointOff = true, r.unit = 'C';
  r.eventText = "say \"hi\", then go";
  EXPECT_EQ(trend::logRow(r, "2026-12-07T10:00:00.000"),
            "2026-12-07T10:00:00.000,12.346,75.5,off,C,\"say \"\"hi\"\", then go\"\n");
  r.temperature.reset(), r.setPointOff = false, r.setPoint = -40, r.eventText = "a\nb";
  EXPECT_EQ(trend::logRow(r, ""), ",12.346,,-40,C,\"a\nb\"\n");
  EXPECT_EQ(trend::isoLocalTime(0).size(), 23u);

  QTemporaryDir dir;
  const std::string path = dir.filePath("log.csv").toStdString();
  { std::ofstream(path) << "time,elapsed_s,temperature,set_point,unit,event\n,1.000,70,,F,"; }
  trend::DataLog log([](double t) { return "T" + bus::plainNumberText(t); });
  ASSERT_TRUE(log.open(path));
  log.write(r);
  log.close();
  ASSERT_TRUE(log.open(path));  // a second run appends, no second header
  log.write(r);
  EXPECT_EQ(slurp(path),
            "time,elapsed_s,temperature,set_point,unit,event\n,1.000,70,,F,\n"
            "T12.3456,12.346,,-40,C,\"a\nb\"\nT12.3456,12.346,,-40,C,\"a\nb\"\n");

  EXPECT_FALSE(log.open(dir.filePath("no/such/dir.csv").toStdString()));
  // The system's own words for the reason, in the operator's language.
  EXPECT_EQ(log.problem(), "cannot write the data log " +
                               dir.filePath("no/such/dir.csv").toStdString() + ": " +
                               std::strerror(ENOENT));
  // A full disk: the header fails, logging stops and says so once; rows are not attempted.
  std::string told;
  log.stopped = [&](const std::string& why) { told += why + "|"; };
  EXPECT_FALSE(log.open("/dev/full"));
  log.write(r), log.write(r);
  EXPECT_EQ(told, "cannot write the data log /dev/full: " + std::string(std::strerror(ENOSPC)) +
                      "; logging stopped|");
  EXPECT_EQ(log.rows(), 0u);
}

// The window as the operator meets it: from the menu, following the readings, zoomed and
// panned, saved, and logging by its own button.
TEST(TrendWindow, FollowsZoomsSavesAndLogs) {
  Console c;
  // The menu bar sits above the client area, which keeps its controls' places.
  const console::MainWindow plain{c.gpib};
  const int bar = c.main.findChild<QMenuBar*>("mnuBar")->height();
  EXPECT_GT(bar, 10);
  EXPECT_EQ(c.main.height(), plain.height() + bar);
  for (const char* name : {"cmdExit", "frmMBCmds", "lblDriver"})
    EXPECT_EQ(c.main.control(name)->pos(), plain.control(name)->pos() + QPoint(0, bar)) << name;
  EXPECT_TRUE(c.extras.aboutText().startsWith("GPIB-Modbus Console 1.0.0"));
  EXPECT_TRUE(c.extras.aboutText().endsWith("Driver: test bench"));
  c.main.findChild<QAction*>("actTrend")->trigger();
  trend::TrendWindow* t = c.extras.trendWindow();
  ASSERT_TRUE(t && t->isVisible());

  for (const char* step : {"cmdInitialize", "cmdStatic", "cmdRdTemp2"}) click(c.main, step);
  for (int i = 0; i < 600; ++i) c.clock.sleepFor(0.1), c.main.Timer1_Timer();  // 0.2 s a tick
  c.driver.setRegisterSilent(100);
  for (int i = 0; i < 3; ++i) c.main.Timer1_Timer();
  c.driver.clearRegisterFault(100);
  for (int i = 0; i < 3; ++i) c.main.Timer1_Timer();
  t->redraw();
  EXPECT_EQ(t->viewEnd() - t->viewStart(), 600);  // ten minutes, the curve growing from the left
  int drawn = 0;
  for (auto* series : t->findChild<QChartView*>()->chart()->series())
    if (auto* line = qobject_cast<QLineSeries*>(series))
      drawn += line->count() > 0 && line->attachedAxes().size() == 2;
  EXPECT_EQ(drawn, 2) << "the failed readings leave one gap";
  EXPECT_TRUE(t->valuesAt(5).startsWith("5.0 s   Temperature 7")) << t->valuesAt(5).toStdString();

  press(t, "optSpan1m");
  EXPECT_NEAR(t->viewEnd(), c.extras.readings().last(), 1e-9);
  EXPECT_EQ(t->viewEnd() - t->viewStart(), 60);
  t->zoom(0.5, t->viewEnd());
  EXPECT_FALSE(t->following());
  EXPECT_FALSE(t->findChild<QCheckBox*>("chkFollow")->isChecked());
  EXPECT_EQ(t->viewEnd() - t->viewStart(), 30);
  // Dragged 60 px to the right with the right button: earlier times come into view.
  auto* view = t->findChild<trend::ChartView*>();
  const double width = view->chart()->plotArea().width();
  QTest::mousePress(view->viewport(), Qt::RightButton, {}, {200, 150});
  QTest::mouseMove(view->viewport(), {260, 150});
  QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, {260, 150});
  EXPECT_NEAR(t->viewEnd(), c.extras.readings().last() - 60 / width * 30, 1e-6);
  press(t, "cmdReset");
  EXPECT_TRUE(t->following());
  EXPECT_EQ(t->viewEnd() - t->viewStart(), 60);
  // A rectangle drawn on the chart makes the view the operator's too.
  emit view->userChangedView();
  EXPECT_FALSE(t->following());
  press(t, "cmdReset");

  QTemporaryDir dir;
  QString asked;
  t->askSavePath = [&](const QString& title, const QString&) {
    asked += title + ";";
    return dir.filePath(title == "Log to CSV"   ? "day.csv"
                        : asked.count(';') == 1 ? "c.png"
                                                : "c.svg");
  };
  press(t, "cmdSaveChart"), press(t, "cmdSaveChart"), press(t, "cmdSaveCsv");
  EXPECT_EQ(asked, "Save Chart;Save Chart;Log to CSV;");
  EXPECT_GT(QFileInfo(dir.filePath("c.png")).size(), 1000);
  EXPECT_TRUE(slurp(dir.filePath("c.svg").toStdString()).find("<svg") != std::string::npos);
  EXPECT_EQ(t->findChild<QLabel*>("lblLog")->text(), "Logging to " + dir.filePath("day.csv"));
  c.main.Timer1_Timer();
  // 121 s of ticks, and the three silent readings' wait for the converter's response time-out.
  EXPECT_EQ(slurp(dir.filePath("day.csv").toStdString()).substr(48), ",122.327,75,,F,\n");
  press(t, "cmdStopLog");
  EXPECT_FALSE(t->saveChart(dir.filePath("no/such.png")));
  EXPECT_EQ(t->findChild<QLabel*>("lblLog")->text(),
            "Cannot write the chart to " + dir.filePath("no/such.png"));
}

}  // namespace
