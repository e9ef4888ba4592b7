#include <gtest/gtest.h>

#include <QChart>
#include <QChartView>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include "ControllerProfiles.h"
#include "Layout.h"
#include "LibraryWindow.h"
#include "SimulatedConsole.h"

namespace {

using profilelibrary::LibraryWindow;

// The library on the simulated bench, its controls by name.
struct Library {
  testing_support::SimulatedConsole c;
  LibraryWindow w{c.gpib};
  QTemporaryDir dir;

  template <class T = QWidget>
  T* get(const char* name) {
    auto* control = w.findChild<T*>(name);
    if (!control) ADD_FAILURE() << "no control " << name;
    return control;
  }
  void click(const char* name) { get<QPushButton>(name)->click(); }
  void type(const char* name, const QString& text) { get<QLineEdit>(name)->setText(text); }
  std::string message() { return get<QLabel>("lblMessage")->text().toStdString(); }
  std::string cells(const char* table) {
    std::string out;
    auto* t = get<QTableWidget>(table);
    for (int r = 0; r < t->rowCount(); ++r)
      for (int col = 0; col < t->columnCount(); ++col)
        out += (t->item(r, col) ? t->item(r, col)->text().toStdString() : "") +
               (col + 1 < t->columnCount() ? "|" : "\n");
    return out;
  }
  std::vector<std::string> differences() {
    std::vector<std::string> out;
    auto* list = get<QListWidget>("lstDifferences");
    if (list->isVisibleTo(&w))
      for (int i = 0; i < list->count(); ++i) out.push_back(list->item(i)->text().toStdString());
    return out;
  }
  QString file(const char* name, const std::string& text) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.data(), static_cast<qint64>(text.size()));
    return f.fileName();
  }
};

TEST(LibraryWindow, DirectoryStepsPlanComparedAndKept) {
  Library l;
  profilelibrary::ControllerProfiles bus(l.c.gpib);
  profilelibrary::Profile p{1, "SOAK", {}};
  profilelibrary::Step soak, end;
  soak.type = 3, soak.minutes = 3, end.type = 5, end.endAction = 0;
  p.steps = {soak, end};
  ASSERT_TRUE(bus.writeProfile(p, 1).ok);
  p.steps[0].minutes = 5;
  ASSERT_TRUE(bus.writeProfile(p, 2).ok);
  l.w.show();
  EXPECT_EQ(testing_support::layoutProblems(&l.w), std::vector<std::string>{});
  EXPECT_EQ(l.w.windowTitle().toStdString(), "Profile Library");

  l.click("cmdDirectory");
  EXPECT_EQ(l.message(), "2 profiles on the controller.");
  EXPECT_EQ(l.cells("tblDirectory"), "1|SOAK||\n2|SOAK||\n");
  EXPECT_EQ(l.get<QLineEdit>("txtTarget")->text(), "3");
  // Chosen in the directory, read back: its steps, the step count, its plan from now.
  l.get<QTableWidget>("tblDirectory")->selectRow(1);
  EXPECT_EQ(l.get<QLineEdit>("txtNumber")->text(), "2");
  l.click("cmdRead");
  EXPECT_EQ(l.cells("tblSteps"), "1|Soak|00:05:00\n2|End|hold\n");
  EXPECT_EQ(l.cells("tblDirectory"), "1|SOAK||\n2|SOAK|2|\n");
  EXPECT_EQ(l.get<QLineEdit>("txtStart")->text(), "75");
  auto* chart = l.get<QChartView>("chtPlan")->chart();
  ASSERT_EQ(chart->series().size(), 1);
  EXPECT_EQ(static_cast<QLineSeries*>(chart->series()[0])->points(),
            (QList<QPointF>{{0, 75}, {5, 75}}));
  // Another profile read back, then the first chosen again: its steps come back without a read.
  l.type("txtNumber", "1");
  l.click("cmdRead");
  EXPECT_EQ(l.cells("tblSteps"), "1|Soak|00:03:00\n2|End|hold\n");
  l.get<QTableWidget>("tblDirectory")->selectRow(1);
  EXPECT_EQ(l.cells("tblSteps"), "1|Soak|00:05:00\n2|End|hold\n");
  l.type("txtStart", "80");
  emit l.get<QLineEdit>("txtStart")->editingFinished();
  EXPECT_EQ(static_cast<QLineSeries*>(chart->series()[0])->points().front(), QPointF(0, 80));

  // Compared with files: a difference listed, then none and the list gone.
  const std::string head = R"({"format": "gpib-modbus-console profiles", "version": 1, "unit": "F",
                               "profiles": [{"steps": [{"type": "Soak", "duration": ")";
  const std::string tail = R"("}, {"type": "End", "action": "hold"}]}]})";
  l.type("txtFile", l.file("longer.json", head + "00:06:00" + tail));
  l.click("cmdCompare");
  EXPECT_EQ(l.message(), "Profile 2 differs from the file in 1 step(s).");
  EXPECT_EQ(l.differences(),
            std::vector<std::string>{"step 1: Soak 00:06:00, controller holds Soak 00:05:00"});
  l.type("txtFile", l.file("same.json", head + "00:05:00" + tail));
  l.click("cmdCompare");
  EXPECT_EQ(l.message(), "Profile 2 holds every step as the file has it.");
  EXPECT_TRUE(l.differences().empty());

  // Kept: the profile shown as JSON, every profile read back as CSV; nowhere to write is said.
  l.type("txtFile", l.dir.filePath("kept.json"));
  l.click("cmdSave");
  QFile kept(l.dir.filePath("kept.json"));
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_TRUE(kept.readAll().contains("\"duration\": \"00:05:00\""));
  l.w.askPath = [&](bool save, const QString&) {
    return save ? l.dir.filePath("steps.csv") : QString();
  };
  l.click("cmdCsv");
  EXPECT_EQ(l.message(), "Exported the steps of 2 profile(s) to " +
                             l.dir.filePath("steps.csv").toStdString() + ".");
  l.type("txtFile", l.dir.filePath("no/such/folder.json"));
  l.click("cmdSave");
  EXPECT_EQ(
      l.message().rfind("Cannot write " + l.dir.filePath("no/such/folder.json").toStdString(), 0),
      0u);

  // A file in Celsius loaded over profile 1: asked first, then written in the controller's unit.
  l.type("txtFile", l.file("celsius.json", R"({"format": "gpib-modbus-console profiles",
      "version": 1, "unit": "C", "profiles": [{"steps": [{"type": "Time",
      "duration": "00:02:00", "end": 100}, {"type": "End", "action": "hold"}]}]})"));
  l.type("txtTarget", "1");
  l.click("cmdLoad");
  EXPECT_EQ(l.message(),
            "Profile 1 exists on the controller. Press \"Replace profile 1\" to "
            "delete it and write the file's profile in its place.");
  l.click("cmdReplace");
  EXPECT_EQ(l.message(),
            "Profile 1 written (converted to °F) and read back: every step as in "
            "the file.");
  EXPECT_EQ(l.cells("tblSteps"), "1|Time|00:02:00 to 212 °F\n2|End|hold\n");
  EXPECT_FALSE(l.get<QListWidget>("lstDifferences")->isVisibleTo(&l.w));
}

TEST(LibraryWindow, WhatCannotBeDoneIsSaidAndAReadCanBeCancelled) {
  Library l;
  l.w.show();
  const struct {
    const char* number;
    const char* button;
    std::string message;
  } rows[] = {
      {"", "cmdRead", "Name a profile (1 to 40) or choose one in the directory."},
      {"41", "cmdRun", "Name a profile (1 to 40) or choose one in the directory."},
      {"3", "cmdRead", "profile 3 does not exist"},
      {"3", "cmdSave", "Read a profile back first."},
      {"3", "cmdCsv", "Read a profile back first."},
  };
  for (const auto& row : rows) {
    l.type("txtNumber", row.number);
    l.click(row.button);
    EXPECT_EQ(l.message(), row.message) << row.button << " " << row.number;
  }
  l.type("txtFile", l.file("bad.json", "{\"format\": 1}"));
  l.type("txtTarget", "1");
  l.click("cmdLoad");
  EXPECT_EQ(l.message(), l.dir.filePath("bad.json").toStdString() + ": format: expected a text");

  // A long read cancelled between transactions; the buttons come back.
  profilelibrary::ControllerProfiles bus(l.c.gpib);
  profilelibrary::Profile p{0, "", {}};
  profilelibrary::Step soak, end;
  soak.type = 3, end.type = 5;
  p.steps.assign(30, soak);
  p.steps.push_back(end);
  ASSERT_TRUE(bus.writeProfile(p, 1).ok);
  l.type("txtNumber", "1");
  // The operator presses Cancel while the fifth reply comes in.
  struct : bus::Observer {
    QPushButton* button = nullptr;
    int reads = 0, at = 5;
    void driverCall(const bus::Call& call) override {
      if (call.routine == bus::Routine::Receive && ++reads == at && button->isEnabled())
        button->click();
    }
  } operatorAtCancel;
  auto* cancel = l.get<QPushButton>("cmdCancel");
  operatorAtCancel.button = cancel;
  l.c.observers.add(&operatorAtCancel);
  l.click("cmdRead");
  EXPECT_EQ(l.message(), "Cancelled.");
  EXPECT_TRUE(l.get<QPushButton>("cmdRead")->isEnabled() && !cancel->isEnabled());
  EXPECT_LT(operatorAtCancel.reads, 8);
  // The next task is not cancelled by the last one's Cancel; a load cancelled part way stops
  // and shows what the controller holds.
  l.type("txtFile", l.file("short.json", R"({"format": "gpib-modbus-console profiles",
      "version": 1, "unit": "F", "profiles": [{"steps": [{"type": "End", "action": "hold"}]}]})"));
  l.type("txtTarget", "2");
  l.click("cmdLoad");
  EXPECT_EQ(l.message(), "Profile 2 written and read back: every step as in the file.");
  const std::string aSoak = R"({"type": "Soak", "duration": "00:01:00"}, )";
  l.type("txtFile", l.file("long.json", R"({"format": "gpib-modbus-console profiles",
      "version": 1, "unit": "F", "profiles": [{"steps": [)" +
                                            aSoak + aSoak + aSoak + aSoak +
                                            R"({"type": "End", "action": "hold"}]}]})"));
  operatorAtCancel.reads = 0, operatorAtCancel.at = 16;
  l.type("txtTarget", "3");
  l.click("cmdLoad");
  EXPECT_EQ(l.message(),
            "Loading stopped: cancelled before step 2 of 5. The table shows what "
            "the controller now holds.");
  EXPECT_EQ(l.cells("tblSteps"), "1|Soak|00:01:00\n");
  l.c.observers.remove(&operatorAtCancel);
}

}  // namespace
