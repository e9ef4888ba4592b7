// What each handler of the main window costs above the pauses it is told to make: the window
// runs on the simulator in virtual time after a discovery, so pauses and time-outs pass at once
// and the time measured is the handler's own work (bus calls, texts, widget updates).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QStyleFactory>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Clock.h"
#include "GPIB32.h"
#include "MainWindow.h"
#include "SimulatedBus.h"

namespace {

// The console as the operator has it after pressing Initialize, in virtual time.
struct Console {
  Console() {
    window.exitProgram = [] {};
    window.show();
    window.cmdInitialize_Click();
    QCoreApplication::processEvents();
  }
  bus::VirtualClock clock;
  sim::SimulatedBus simulated{clock};
  bus::SilentSound sound;
  bus::GPIB32 gpib{simulated, clock, sound};
  console::MainWindow window{gpib};
};

struct Handler {
  const char* name;
  // Puts in what an operator would have typed before pressing the button.
  std::function<void(console::MainWindow&)> prepare;
  std::function<void(console::MainWindow&)> press;
};

void nothing(console::MainWindow&) {}

std::vector<Handler> handlers() {
  using W = console::MainWindow;
  return {
      {"cmdInitialize", nothing, [](W& w) { w.cmdInitialize_Click(); }},
      {"cmdRdModel", nothing, [](W& w) { w.cmdRdModel_Click(); }},
      {"cmdRdSN", nothing, [](W& w) { w.cmdRdSN_Click(); }},
      {"cmdRdSoft", nothing, [](W& w) { w.cmdRdSoft_Click(); }},
      {"cmdRdRev", nothing, [](W& w) { w.cmdRdRev_Click(); }},
      {"cmdRdDate", nothing, [](W& w) { w.cmdRdDate_Click(); }},
      {"cmdRdSetPt", nothing, [](W& w) { w.cmdRdSetPt_Click(); }},
      {"cmdRdTemp", nothing, [](W& w) { w.cmdRdTemp_Click(); }},
      {"cmdRdErr", nothing, [](W& w) { w.cmdRdErr_Click(); }},
      {"cmdStatic", nothing, [](W& w) { w.cmdStatic_Click(); }},
      {"cmdSetPt", [](W& w) { w.txtSetPt->setText("75"); }, [](W& w) { w.cmdSetPt_Click(); }},
      {"cmdStopSetPt", nothing, [](W& w) { w.cmdStopSetPt_Click(); }},
      {"optUnits(1)", nothing, [](W& w) { w.optUnits_Click(1); }},
      {"optUnits(0)", nothing, [](W& w) { w.optUnits_Click(0); }},
      {"cmdRdTemp2", nothing, [](W& w) { w.cmdRdTemp2_Click(); }},
      {"cmdRdTime", nothing, [](W& w) { w.cmdRdTime_Click(); }},
      // One live display tick with both displays on: two queries.
      {"Timer1 tick", [](W& w) { w.TempRdFlag = w.TimeRdFlag = 1; },
       [](W& w) { w.Timer1_Timer(); }},
      {"cmdChgAddr", [](W& w) { w.txtCurAddr->setText("1"); }, [](W& w) { w.cmdChgAddr_Click(); }},
      {"optCmdWrt", nothing, [](W& w) { w.optCmdWrt_Click(0); }},
      {"optCmdRead", nothing, [](W& w) { w.optCmdRead_Click(0); }},
      {"cmdSend",
       [](W& w) {
         w.optCmdRead_Click(0);
         w.txtReg->setText("100");
         w.txtOutput->setText("1");
       },
       [](W& w) { w.cmdSend_Click(); }},
      {"cmdClr", nothing, [](W& w) { w.cmdClr_Click(); }},
      {"optHex", nothing, [](W& w) { w.optHex_Click(0); }},
      {"optDecimal", nothing, [](W& w) { w.optDecimal_Click(0); }},
      {"cmdESR", nothing, [](W& w) { w.cmdESR_Click(); }},
      {"cmdRunProfile", [](W& w) { w.txtProfile->setText("1"); },
       [](W& w) { w.cmdRunProfile_Click(); }},
      {"cmdStop", nothing, [](W& w) { w.cmdStop_Click(); }},
      {"cmdDelete", nothing, [](W& w) { w.cmdDelete_Click(); }},
      {"cmdConfirm", [](W& w) { w.txtProfile->setText("1"); }, [](W& w) { w.cmdConfirm_Click(); }},
      {"cmd488_2Cmds", nothing, [](W& w) { w.cmd488_2Cmds_Click(); }},
      {"cmdCreate", nothing, [](W& w) { w.cmdCreate_Click(); }},
      {"cmdExit", nothing, [](W& w) { w.cmdExit_Click(); }},
  };
}

// One console for all the handlers, as one operator session would have it. It goes before the
// application does.
std::unique_ptr<Console> sessionConsole;

Console& session() {
  if (!sessionConsole) sessionConsole = std::make_unique<Console>();
  return *sessionConsole;
}

void pressRepeatedly(benchmark::State& state, const Handler& handler) {
  console::MainWindow& window = session().window;
  handler.prepare(window);
  for (auto _ : state) handler.press(window);
  // A handler that met an error would be timed on a short path: say so beside its figure.
  if (!window.txtError->text().isEmpty()) state.SetLabel(window.txtError->text().toStdString());
  if (!session().simulated.online()) state.SetLabel("board 0 went offline");
  // Back to a quiet window: live displays off, no error shown, pending repaints done.
  window.TempRdFlag = window.TimeRdFlag = 0;
  window.txtError->clear();
  QCoreApplication::processEvents();
}

// The two buttons that open a window build it on their first press; later presses only show it.
void firstOpen(benchmark::State& state, void (console::MainWindow::*press)()) {
  for (auto _ : state) {
    state.PauseTiming();
    auto console = std::make_unique<Console>();
    state.ResumeTiming();
    (console->window.*press)();
    state.PauseTiming();
    console.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));

  static const std::vector<Handler> all = handlers();
  for (const Handler& handler : all)
    benchmark::RegisterBenchmark(
        (std::string("Handler/") + handler.name).c_str(),
        [&handler](benchmark::State& state) { pressRepeatedly(state, handler); })
        ->Unit(benchmark::kMicrosecond)
        ->MinTime(0.05);
  benchmark::RegisterBenchmark(
      "FirstOpen/cmd488_2Cmds",
      [](benchmark::State& state) { firstOpen(state, &console::MainWindow::cmd488_2Cmds_Click); })
      ->Unit(benchmark::kMicrosecond)
      ->Iterations(10);
  benchmark::RegisterBenchmark(
      "FirstOpen/cmdCreate",
      [](benchmark::State& state) { firstOpen(state, &console::MainWindow::cmdCreate_Click); })
      ->Unit(benchmark::kMicrosecond)
      ->Iterations(10);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  sessionConsole.reset();
  return 0;
}
