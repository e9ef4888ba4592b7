#include "Trace.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "Clock.h"
#include "GPIB32.h"
#include "Observers.h"
#include "Recorder.h"
#include "SimulatedBus.h"

namespace {

const std::string kHeader = "# gpib-modbus-console bus trace: milliseconds since start, event\n";

TEST(Trace, StatusNamesEverySetBitHighestFirst) {
  const std::pair<int, const char*> cases[] = {
      {0x0000, "none"},
      {0x8000, "ERR"},
      {0x0120, "CMPL|CIC"},
      {0x2120, "END|CMPL|CIC"},
      {0xC120, "ERR|TIMO|CMPL|CIC"},
      {0x1120, "SRQI|CMPL|CIC"},
      {0xFFFF, "ERR|TIMO|END|SRQI|RQS|SPOLL|EVENT|CMPL|LOK|REM|CIC|ATN|TACS|LACS|DTAS|DCAS"},
  };
  for (const auto& [ibsta, names] : cases) EXPECT_EQ(script::Trace::statusNames(ibsta), names);
}

TEST(Trace, EventsOnePerLineWithMillisecondsSinceStart) {
  bus::VirtualClock clock(500.0);  // the trace counts from its own start, not the clock's
  std::ostringstream out;
  script::Trace trace(out, clock);
  trace.driverCall("SendIFC(0)", {0x0120, 0, 0, 0}, nullptr);
  clock.sleepFor(0.0015);
  trace.driverCall("Send(0, 4, \"W  300, 72\\n\", NLend)", {0x0120, 0, 11, 11}, nullptr);
  const std::string reply("5270\r\n\0", 7);
  trace.driverCall("Receive(0, 4, 256, STOPend)", {0x2120, 0, 7, 7}, &reply);
  const std::string nothing;
  clock.sleepFor(10);
  trace.driverCall("Receive(0, 7, 256, STOPend)", {0xC120, 6, 0, 0}, &nothing);
  trace.driverCall("Send(0, 9, \"x\", NLend)", {0x8120, 2, 0, 0}, nullptr);
  trace.driverCall("ibtmo(0, 11)", {0x0120, 13, 0, 0}, nullptr);
  trace.pause(0.1);
  trace.beep();
  trace.window("frmCProfile", true);
  trace.window("frmCProfile", false);
  trace.frame({0x01, 0x03, 0x00, 0x64, 0x00, 0x01, 0xC5, 0xD5}, {0x01, 0x83, 0x02, 0xC0, 0xF1}, 2);
  trace.frame({0x01, 0x06, 0x01, 0x2C, 0x00, 0x48, 0x49, 0xC9}, {}, 101);
  trace.step(7, "click cmdSend");
  EXPECT_EQ(out.str(),
            kHeader +
                "0 call SendIFC(0) ibsta=0x0120 CMPL|CIC iberr=0 ibcntl=0\n"
                "2 call Send(0, 4, \"W  300, 72\\n\", NLend) ibsta=0x0120 CMPL|CIC iberr=0 "
                "ibcntl=11\n"
                "2 send \"W  300, 72\\n\"\n"
                "2 call Receive(0, 4, 256, STOPend) ibsta=0x2120 END|CMPL|CIC iberr=0 ibcntl=7\n"
                "2 recv \"5270\\r\\n\\x00\"\n"
                "10002 call Receive(0, 7, 256, STOPend) ibsta=0xC120 ERR|TIMO|CMPL|CIC iberr=6 "
                "EABO ibcntl=0\n"
                "10002 call Send(0, 9, \"x\", NLend) ibsta=0x8120 ERR|CMPL|CIC iberr=2 ENOL "
                "ibcntl=0\n"
                "10002 send \"x\"\n"
                "10002 call ibtmo(0, 11) ibsta=0x0120 CMPL|CIC iberr=13 ibcntl=0\n"
                "10002 pause 0.1\n"
                "10002 beep\n"
                "10002 show frmCProfile\n"
                "10002 hide frmCProfile\n"
                "10002 rtu request 01 03 00 64 00 01 C5 D5\n"
                "10002 rtu response 01 83 02 C0 F1 error=2\n"
                "10002 rtu request 01 06 01 2C 00 48 49 C9\n"
                "10002 rtu response none error=101\n"
                "10002 step 7 click cmdSend\n");
}

// The trace of a register read on the simulator, frames and all, as the console produces it.
TEST(Trace, RegisterReadOnTheSimulator) {
  bus::VirtualClock clock;
  sim::SimulatedBus simulator(clock);
  std::ostringstream out;
  script::Trace trace(out, clock);
  simulator.converter().setFrameListener([&trace](const sim::RtuExchange& exchange) {
    trace.frame(exchange.request, exchange.response, exchange.errorCode);
  });
  bus::SilentSound sound;
  bus::GPIB32 gpib(simulator, clock, sound, &trace);
  gpib.InterfaceName = "GPIB";
  std::string reply;
  gpib.Send_msg(0, 4, "R  100, 1");
  gpib.Delay(0.1);
  gpib.Recv_msg(0, 4, reply);
  simulator.failNextTransactions(1, 101);
  gpib.Send_msg(0, 4, "W  300, 72");
  EXPECT_EQ(out.str(),
            kHeader +
                "0 rtu request 01 03 00 64 00 01 C5 D5\n"
                "0 rtu response 01 03 02 00 4B F8 73\n"
                "0 call Send(0, 4, \"R  100, 1\", NLend) ibsta=0x0120 CMPL|CIC iberr=0 "
                "ibcntl=10\n"
                "0 send \"R  100, 1\"\n"
                "0 pause 0.1\n"
                "100 call Receive(0, 4, 256, STOPend) ibsta=0x2120 END|CMPL|CIC iberr=0 "
                "ibcntl=3\n"
                "100 recv \"75\\n\"\n"
                "100 rtu request 01 06 01 2C 00 48 49 C9\n"
                "100 rtu response none error=101\n"
                "100 call Send(0, 4, \"W  300, 72\", NLend) ibsta=0x0120 CMPL|CIC iberr=0 "
                "ibcntl=11\n"
                "100 send \"W  300, 72\"\n");
}

TEST(Observers, EveryObserverSeesEveryEventInTheOrderAdded) {
  bus::Recorder first, second;
  bus::Observers observers;
  observers.add(&first);
  observers.add(&second);
  observers.add(&first);  // once is enough
  observers.driverCall("SendIFC(0)", {}, nullptr);
  observers.pause(1);
  observers.beep();
  observers.window("frm488_2Cmds", true);
  observers.remove(&second);
  observers.beep();
  EXPECT_EQ(first.events(), (std::vector<std::string>{"SendIFC(0)", "pause 1", "beep",
                                                      "show frm488_2Cmds", "beep"}));
  EXPECT_EQ(second.events(),
            (std::vector<std::string>{"SendIFC(0)", "pause 1", "beep", "show frm488_2Cmds"}));
}

}  // namespace
