// The planned set point beside the readings, and a data log read back for review.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QChartView>
#include <QDir>
#include <QLabel>
#include <QLineSeries>
#include <QTemporaryDir>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>

#include "DataLog.h"
#include "LogReader.h"
#include "NumberText.h"
#include "Readings.h"
#include "TrendWindow.h"

namespace {

using trend::Record;

const std::string kHead = "time,elapsed_s,temperature,set_point,unit,event\n";

std::string number(double value) { return bus::plainNumberText(value); }

// Each record in a word: "T75F@0.3", "T-" (a gap), "S90C", "Soff", "[kind:text]".
std::string render(const trend::LogContents& log) {
  std::string text;
  for (const Record& r : log.records) {
    if (r.what == Record::What::Temperature)
      text += "T" + (r.temperature ? number(*r.temperature) : "-");
    else if (r.what == Record::What::SetPoint)
      text += "S" + (r.setPointOff ? "off" : r.setPoint ? number(*r.setPoint) : "-");
    else
      text += "[" + std::string(trend::eventName(*r.event)) + ":" + r.eventText + "]";
    text += r.unit + ("@" + number(r.elapsed)) + " ";
  }
  return text + "| " + log.problem;
}

TEST(LogReader, ReadsWhatDataLogWritesAndRefusesTheRest) {
  const std::pair<std::string, std::string> cases[] = {
      {kHead + ",0.300,75,,F,\n,0.400,75,90,F,set point 90\n,0.500,75.5,90,F,\r\n"
               ",0.600,75.5,off,F,set point off\n,0.700,,off,C,unit C\n"
               ",0.800,,off,C,\"Receive \"\"EABO\"\",\nagain\"\n,0.900,20,95,C,\n,1.000,20,96,C,\n",
       "T75F@0.3 [set point:set point 90]F@0.4 T75.5F@0.5 [set point off:set point off]F@0.6 "
       "[unit:unit C]C@0.7 [bus error:Receive \"EABO\",\nagain]C@0.8 T20C@0.9 S96C@1 | "},
      {"", "| the file is empty"},
      {"\xff\xfe\x01,elapsed\n,0.3,75,,F,\n",
       "| line 1 is not a data log's header (time,elapsed_s,temperature,set_point,unit,event)"},
      {kHead, "| the log holds no rows"},
      {kHead + ",0.300,75,,F,\n,0.40", "T75F@0.3 | line 3 was cut short and is left out"},
      {kHead + ",0.300,75,,F,\n,0.400,75,,F,\"set po",
       "T75F@0.3 | line 3 was cut short and is left out"},
      {kHead + ",0.3", "| line 2 is cut short; the log holds no whole row"},
      {kHead + ",0.300,75,,F,\n,0.4,75\n,0.500,75,,F,\n",
       "| line 3 has 3 fields; a data log row has 6"},
      {kHead + ",0.300,75,,F,,\n", "| line 2 has 7 fields; a data log row has 6"},
      {kHead + ",0.300,75,,F,\n\n,0.400,75,,F,\n", "| line 3 is empty"},
      {kHead + ",0.300,7x,,F,\n", "| line 2: temperature \"7x\" is not a number"},
      {kHead + ",0.300,nan,,F,\n", "| line 2: temperature \"nan\" is not a number"},
      {kHead + ",1e999,75,,F,\n", "| line 2: elapsed time \"1e999\" is out of range"},
      {kHead + ",-1,75,,F,\n", "| line 2: elapsed time \"-1\" is negative"},
      {kHead + ",0.300,75,1e7,F,\n", "| line 2: set point \"1e7\" is out of range"},
      {kHead + ",0.300,75,,K,\n", "| line 2: unit \"K\" is neither F nor C"},
      {kHead + ",0.300,7\"5,,F,\n", "| line 2: a quote inside a field that is not quoted"},
      {kHead + ",0.300,75,,F,\"a\"b\n", "| line 2: a field goes on after its closing quote"},
      {kHead + "today,0.300,75,,F,\n",
       "| line 2: time \"today\" is not a local time such as 2026-12-07T14:03:09.250"},
      // Sessions appended to one file: the next after the one before (or where its time puts
      // it), with a gap between; a row cut where a session ended is left out.
      {kHead + ",5.000,75,,F,\n,5.1\n,0.500,80,,F,\n",
       "T75F@5 T-F@5 S-F@5 T80F@5.5 | line 3 was cut short and is left out"},
      {kHead + "2026-12-07T10:00:00.000,0.000,75,,F,\n2026-12-07T11:00:00.500,0.500,80,,F,\n",
       "T75F@0 T-F@0 S-F@0 T80F@3600.5 | "},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(render(trend::readLog(text)), expected) << bus::escapeBytes(text);
  EXPECT_EQ(trend::parseIsoLocalTime(trend::isoLocalTime(1796652189250)), 1796652189250);
  EXPECT_FALSE(trend::parseIsoLocalTime("2026-02-31T10:00:00.000"));
  EXPECT_FALSE(trend::parseIsoLocalTime("X026-12-07T10:00:00.000"));
}

QLineSeries* seriesNamed(const trend::TrendWindow& w, const QString& name) {
  for (auto* series : w.findChild<QChartView*>()->chart()->series())
    if (series->name() == name) return qobject_cast<QLineSeries*>(series);
  return nullptr;
}

std::string label(const trend::TrendWindow& w, const char* name) {
  const auto* l = w.findChild<QLabel*>(name);
  return l->isVisibleTo(&w) ? l->text().toStdString() : "(hidden)";
}

std::string valuesAt(const trend::TrendWindow& w, double t) { return w.valuesAt(t).toStdString(); }

Record temperature(double t, std::optional<double> value) {
  return {.what = Record::What::Temperature, .elapsed = t, .temperature = value};
}

// A ramp from 65 to 115 over 10..110 s, a hold to 200 s, a jump to 250 held to 300 s: the plan is
// drawn in its own series, the running step named and marked, the deviation shown.
TEST(TrendWindow, DrawsThePlanBesideTheReadings) {
  trend::Readings readings;
  trend::DataLog log;
  readings.add(temperature(0, 70));
  trend::TrendWindow w(readings, log, {.virtualTime = true});
  ASSERT_TRUE(seriesNamed(w, "Set point"));  // what was read before it opened is drawn at once
  w.setPlan({1,
             {{10, 65}, {110, 115}, {NAN, 1}, {200, 115}, {200, 250}, {300, 250}},
             {{10, 1}, {110, 2}, {200, 3}}});
  ASSERT_TRUE(seriesNamed(w, "Planned set point"));
  EXPECT_EQ(seriesNamed(w, "Planned set point")->count(), 5);
  EXPECT_GE(w.findChild<QChartView*>()->chart()->axes(Qt::Vertical)[0]->property("max").toDouble(),
            250);
  const std::tuple<double, const char*, double> steps[] = {
      {5, "Profile 1, not started (3 steps)", -1}, {100, "Profile 1, step 1 of 3", 10},
      {200, "Profile 1, step 3 of 3", 200},        {300, "Profile 1, step 3 of 3", 200},
      {301, "Profile 1, ended (3 steps)", -1},
  };
  for (const auto& [newest, text, marked] : steps) {
    readings.add(temperature(newest, 70 + newest * 0.1));
    w.redraw();
    EXPECT_EQ(label(w, "lblPlan"), text) << newest;
    const QLineSeries* mark = seriesNamed(w, "Current step");
    EXPECT_EQ(mark->count() ? mark->at(0).x() : -1, marked) << newest;
  }
  readings.add(temperature(302, std::nullopt));
  // Temperatures 70.5 from 5 s, 80 from 100 s, 90 from 200 s; no reading from 302 s.
  const std::pair<double, const char*> cursor[] = {
      {8, "8.0 s   Temperature 70.5 °F"},
      {20, "20.0 s   Temperature 70.5 °F   Planned 70.0, deviation +0.5"},
      {150, "150.0 s   Temperature 80 °F   Planned 115.0, deviation -35.0"},
      {200, "200.0 s   Temperature 90 °F   Planned 250.0, deviation -160.0"},
      {302, "302.0 s   Temperature (no reading)"},
  };
  for (const auto& [t, text] : cursor) EXPECT_EQ(valuesAt(w, t), text);

  w.setPlan({});
  EXPECT_FALSE(seriesNamed(w, "Planned set point"));
  EXPECT_FALSE(seriesNamed(w, "Current step"));
  EXPECT_EQ(label(w, "lblPlan"), "(hidden)");
  EXPECT_EQ(valuesAt(w, 150), "150.0 s   Temperature 80 °F");
}

// A run written by DataLog is shown instead of the live readings, on its own local times, until
// "Back to Live"; a file that cannot be shown changes nothing but the message.
TEST(TrendWindow, ReviewsALogAndGoesBackToLive) {
  QTemporaryDir dir;
  const std::int64_t runStart = *trend::parseIsoLocalTime("2026-12-07T14:03:00.000");
  {
    trend::DataLog writer(
        [&](double t) { return trend::isoLocalTime(runStart + std::llround(t * 1000)); });
    ASSERT_TRUE(writer.open(dir.filePath("run.csv").toStdString()));
    Record r = temperature(1, 70);
    writer.write(r);
    r.what = Record::What::Event, r.elapsed = 2, r.setPoint = 90;
    r.event = trend::EventKind::SetPointWritten, r.eventText = "set point 90";
    writer.write(r);
    writer.write(temperature(3, 75));
    writer.write(temperature(4, 80));
  }
  { std::ofstream(dir.filePath("bad.csv").toStdString()) << kHead << ",1.000,hot,,F,\n"; }

  trend::Readings live;
  live.add(temperature(0.5, 60));
  trend::DataLog log;
  const std::int64_t liveStart = *trend::parseIsoLocalTime("2026-12-08T09:00:00.000");
  trend::TrendWindow w(live, log, {.virtualTime = false, .originEpochMs = liveStart});
  w.setPlan({2, {{0, 60}, {100, 100}}, {{0, 1}}});
  QString next;
  w.askOpenPath = [&](const QString& title, const QString&) {
    EXPECT_EQ(title, "Open Log");
    return next;
  };
  const auto open = [&](const QString& path) {
    next = path;
    w.findChild<QAbstractButton*>("cmdOpenLog")->click();
  };
  const std::string reviewing = "Reviewing run.csv: 4 rows from 2026-12-07 14:03:01 to 14:03:04";

  open(dir.filePath("run.csv"));
  ASSERT_TRUE(w.reviewing());
  EXPECT_EQ(label(w, "lblReview"), reviewing);
  EXPECT_EQ(w.windowTitle().toStdString(), "Temperature Trend: run.csv");
  EXPECT_EQ(valuesAt(w, 3.5), "14:03:03   Temperature 75 °F   Set point 90   [set point 90]");
  EXPECT_FALSE(seriesNamed(w, "Planned set point")) << "the plan belongs to the live run";
  EXPECT_EQ(label(w, "lblPlan"), "(hidden)");
  EXPECT_TRUE(w.findChild<QAbstractButton*>("cmdLive")->isEnabled());

  const std::pair<QString, QString> refused[] = {
      {"none.csv", std::strerror(ENOENT)},  // the system's words, in the operator's language
      {"", std::strerror(EISDIR)},
      {"/proc/self/mem", std::strerror(EIO)},  // a file that cannot be read
      {"bad.csv", "line 2: temperature \"hot\" is not a number"},
  };
  for (const auto& [file, why] : refused) {
    const QString path = QDir(dir.path()).filePath(file);
    open(path);
    EXPECT_EQ(label(w, "lblMessage"), ("Cannot review " + path + ": " + why).toStdString());
    EXPECT_EQ(label(w, "lblReview"), reviewing);
  }

  live.add(temperature(60, 65));  // gathered meanwhile
  w.changed();
  w.findChild<QAbstractButton*>("cmdLive")->click();
  EXPECT_FALSE(w.reviewing());
  EXPECT_EQ(label(w, "lblReview"), "(hidden)");
  EXPECT_EQ(label(w, "lblMessage"), "(hidden)");
  EXPECT_EQ(w.windowTitle().toStdString(), "Temperature Trend");
  EXPECT_EQ(valuesAt(w, 61), "09:01:01   Temperature 65 °F   Planned 84.4, deviation -19.4");
  EXPECT_EQ(valuesAt(w, 0.25), "09:00:00   Planned 60.1") << "no temperature yet";
  EXPECT_EQ(label(w, "lblPlan"), "Profile 2, step 1 of 1");
  EXPECT_FALSE(w.findChild<QAbstractButton*>("cmdLive")->isEnabled());
}

}  // namespace
