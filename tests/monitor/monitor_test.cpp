#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "Controls.h"
#include "EventTable.h"
#include "ExtraWindows.h"
#include "Layout.h"
#include "MainWindow.h"
#include "MonitorWindow.h"
#include "Observers.h"
#include "SimulatedBus.h"
#include "SimulatedConsole.h"
#include "Trace.h"

namespace {

using namespace testing_support;
// The console on the simulated bench with its trace going to a file and to the monitor's table.
struct Session {
  bus::VirtualClock clock;
  sim::SimulatedBus driver{clock};
  bus::SilentSound sound;
  bus::Observers observers;
  trace::Trace events{clock};
  std::ostringstream file;
  trace::TraceFile writer{file};
  monitor::EventTable table{1000};
  bus::GPIB32 gpib{driver, clock, sound, &observers};
  console::MainWindow main{gpib};

  Session() {
    gpib.InterfaceName = "GPIB";
    events.addSink(std::ref(writer));
    events.addSink([this](const trace::Event& e) { table.add(e); });
    observers.add(&events);
    driver.converter().setFrameListener(
        [this](const modbus::RtuExchange& x) { events.frame(x.request, x.response, x.errorCode); });
  }
  // Rows as the layer's initial and the event's first words; "*" shaded (every other line and
  // all it caused), "!" an error.
  std::string rows(int from) {
    table.flush();
    std::string out;
    for (int r = from; r < table.rowCount(); ++r) {
      const auto cell = [&](int column) {
        return table.data(table.index(r, column), Qt::DisplayRole).toString().toStdString();
      };
      out += cell(monitor::EventTable::Layer)[0] + cell(monitor::EventTable::Text).substr(0, 14) +
             (table.data(table.index(r, 0), Qt::BackgroundRole).isValid() ? "*" : "") +
             (table.data(table.index(r, 0), Qt::ForegroundRole).isValid() ? "!" : "") + " | ";
    }
    return out;
  }
};

TEST(EventTable, LinesWithTheirFramesFilteredPausedBoundedAndSaved) {
  Session s;
  click(s.main, "cmdInitialize");
  s.driver.failNextTransactions(1, 2);
  int at = (s.table.flush(), s.table.rowCount());
  click(s.main, "cmdRdTemp");
  // The frames sit under the line that caused them; each line's rows share a shade; the
  // failed transaction stands out.
  EXPECT_EQ(s.rows(at),
            "Gcall Send(0, 4* | Gsend \"R  100, * | Mrtu request 01* | Mrtu response 0*! | "
            "cpause 0.1* | Gcall Receive(0* | Gcall Send(0, 4 | Gsend \"E?\" | "
            "Gcall Receive(0 | Grecv \"2\\n\" | cbeep | ");
  // Saved, the table is the trace file exactly, in the trace's own order.
  EXPECT_EQ(s.table.traceText(), s.file.str());
  EXPECT_EQ(
      s.table.linesOf({at + 3}).toStdString(),
      std::to_string(s.table.event(at + 3).ms) +
          " rtu response 01 83 02 C0 F1 error=2"
          "\tslave 1, exception 2 (illegal data address) to read holding registers, CRC good\n");

  monitor::EventFilter filter;
  filter.setSourceModel(&s.table);
  filter.setText("EXCEPTION 2");
  EXPECT_EQ(filter.rowCount(), 1);
  filter.setText("");
  for (auto layer : {trace::Layer::GpibCall, trace::Layer::GpibData, trace::Layer::Console})
    filter.setLayerShown(layer, false);
  EXPECT_EQ(filter.rowCount(), 6);  // the frames alone: discovery's two transactions, and this one
  filter.setLayerShown(trace::Layer::Console, true);
  filter.setText("pause");
  EXPECT_EQ(filter.rowCount(), 3);  // discovery's two register reads and this one

  // Paused, events are collected but not shown; resumed, they all show.
  s.table.setPaused(true);
  s.events.sim("absent");
  s.table.flush();
  const int shown = s.table.rowCount();
  EXPECT_EQ(s.table.collected(), static_cast<std::size_t>(shown) + 1);
  s.table.setPaused(false);
  EXPECT_EQ(s.rows(shown), "ssim absent | ");

  // Bounded: the newest ten, the older ones counted as dropped, the file the newest ten.
  monitor::EventTable small(10);
  for (int i = 0; i < 25; ++i)
    small.add({.ms = i, .kind = trace::Kind::Pause, .seconds = static_cast<double>(i)});
  small.flush();
  EXPECT_EQ(small.rowCount(), 10);
  EXPECT_EQ(small.dropped(), 15u);
  EXPECT_EQ(small.data(small.index(0, 2), Qt::DisplayRole).toString(), "pause 15");
  EXPECT_EQ(small.traceText().substr(small.traceText().find('\n') + 1, 11), "15 pause 15");
}

TEST(MonitorWindow, OpensFromTheMenuAndSavesCopiesAndClears) {
  SimulatedConsole c;
  console::MainWindow& main = c.main;
  extrawindows::ExtraWindows extras{main, c.clock, c.observers, c.events, {.virtualTime = true}};
  click(main, "cmdInitialize");  // before the monitor opens: the newest events are kept
  EXPECT_EQ(extras.events().capacity(), 1000u);
  main.findChild<QAction*>("actMonitor")->trigger();
  EXPECT_EQ(extras.events().capacity(), monitor::EventTable::kCapacity);
  monitor::MonitorWindow* w = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->objectName() == "monitor") w = qobject_cast<monitor::MonitorWindow*>(top);
  ASSERT_TRUE(w && w->isVisible());
  const int rows = extras.events().rowCount();
  EXPECT_GT(rows, 20);
  EXPECT_EQ(w->findChild<QLabel*>("lblCount")->text(), QString("%1 events").arg(rows));
  extras.events().setCapacity(static_cast<std::size_t>(rows));
  extras.events().add({.kind = trace::Kind::Pause, .seconds = 1});  // one more than is kept
  w->update();
  EXPECT_EQ(w->findChild<QLabel*>("lblCount")->text(),
            QString("%1 events, 1 older dropped").arg(rows));

  QTemporaryDir dir;
  w->askSavePath = [&] { return dir.filePath("bus.trace"); };
  w->findChild<QAbstractButton*>("cmdSaveTrace")->click();
  std::ifstream saved(dir.filePath("bus.trace").toStdString());
  EXPECT_EQ((std::ostringstream() << saved.rdbuf()).str(), extras.events().traceText());
  EXPECT_FALSE(w->saveTrace(dir.filePath("no/such.trace")));
  EXPECT_TRUE(w->findChild<QLabel*>("lblMessage")->text().startsWith("Cannot write the trace to"));
  w->layout()->activate();  // as the event loop would, with the longer count in place
  EXPECT_EQ(testing_support::layoutProblems(w), std::vector<std::string>{});

  auto* view = w->findChild<QTableView*>("tblEvents");
  auto* filterBox = w->findChild<QLineEdit*>("txtFilter");
  EXPECT_TRUE(filterBox->isClearButtonEnabled());  // one click empties the filter
  filterBox->setText("*IDN?");
  view->selectAll();
  EXPECT_TRUE(w->selectedText().endsWith(" send \"*IDN?\"\n")) << w->selectedText().toStdString();
  w->findChild<QAbstractButton*>("cmdClear")->click();
  EXPECT_EQ(extras.events().rowCount(), 0);
}

// A change made on the simulator panel goes into the trace as the step that repeats it.
TEST(Trace, SimulatorChangesAsSteps) {
  bus::VirtualClock clock;
  std::ostringstream out;
  trace::Trace trace(clock);
  trace::TraceFile file(out);
  trace.addSink(std::ref(file));
  clock.sleepFor(1.5);
  trace.sim("sim identity \"A\\x01\"");
  trace.sim("absent");
  trace.adapter("lost: serial /dev/tty\x1b");  // an adapter driver's note, printable
  EXPECT_EQ(out.str().substr(out.str().find('\n') + 1),
            "1500 sim identity \"A\\x01\"\n1500 sim absent\n"
            "1500 adapter lost: serial /dev/tty\\x1B\n");
}

}  // namespace
