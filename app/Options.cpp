#include "Options.h"

#include <QCommandLineParser>
#include <QStringList>
#include <algorithm>
#include <iterator>

#include "Link.h"
#include "LinkTarget.h"
#include "NumberText.h"

namespace app {

namespace {

void finish(const QCommandLineParser& parser, Options& options);

// How much of an argument a message repeats: it may hold any bytes, and any number of them.
constexpr std::size_t kQuotedOption = 100;

// What to say when a value option comes without its value.
const char* missingValue(const QString& name) {
  if (name == "driver") return "--driver needs the path of a GPIB driver library";
  if (name == "trace") return "--trace needs a file name (- for standard output)";
  if (name == "log") return "--log needs the name of a CSV file";
  if (name == "prologix")
    return "--prologix needs a serial device (/dev/ttyUSB0) or HOST[:PORT] of an adapter";
  if (name == "baud") return "--baud needs the serial port's baud rate";
  if (name == "modbus")
    return "--modbus needs a serial device (/dev/ttyUSB0) or HOST[:PORT] of a Modbus TCP gateway";
  if (name == "parity") return "--parity needs none, even or odd";
  if (name == "stop-bits") return "--stop-bits needs 1 or 2";
  return "--script needs the path of a script file";
}

// The baud rates a serial port takes for the Modbus line.
constexpr int kModbusRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

// --modbus TARGET with its line's settings; the problem, empty when they can be used.
std::string modbusOptions(const QCommandLineParser& parser, Options& options) {
  if (parser.isSet("simulate") || parser.isSet("driver") || parser.isSet("prologix"))
    return "--modbus cannot go with --simulate, --driver or --prologix: one driver at a time";
  options.driver = Options::Driver::Modbus;
  options.driverPath = parser.value("modbus").toStdString();
  const bus::LinkTarget target = bus::parseLinkTarget(options.driverPath, "--modbus", 502);
  if (!target.problem.empty()) return bus::printableText(target.problem, kQuotedOption);
  for (const char* name : {"baud", "parity", "stop-bits"})
    if (parser.isSet(name) && !target.serial)
      return "--" + std::string(name) + " is for a serial device, not for a Modbus TCP gateway";
  Options::ModbusLine& line = options.modbusLine;
  if (parser.isSet("baud")) {
    const QString text = parser.value("baud");
    bool number = false;
    line.baud = text.toInt(&number);
    if (!number || std::find(std::begin(kModbusRates), std::end(kModbusRates), line.baud) ==
                       std::end(kModbusRates))
      return "--baud with --modbus needs 1200, 2400, 4800, 9600, 19200, 38400, 57600 or "
             "115200, not " +
             bus::printableText(text.toStdString(), kQuotedOption);
  }
  if (parser.isSet("parity")) {
    const QString text = parser.value("parity");
    if (text == "none")
      line.parity = 'N';
    else if (text == "even")
      line.parity = 'E';
    else if (text == "odd")
      line.parity = 'O';
    else
      return "--parity needs none, even or odd, not " +
             bus::printableText(text.toStdString(), kQuotedOption);
  }
  if (parser.isSet("stop-bits")) {
    const QString text = parser.value("stop-bits");
    if (text != "1" && text != "2")
      return "--stop-bits needs 1 or 2, not " +
             bus::printableText(text.toStdString(), kQuotedOption);
    line.stopBits = text.toInt();
  }
  return {};
}

}  // namespace

Options parseOptions(const std::vector<std::string>& args) {
  QCommandLineParser parser;
  // Options are written --name; a single dash is never a bundle of letters here.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption simulate("simulate"), virtualTime("virtual-time"),
      help(QStringList{"h", "help"}), version("version"), driver("driver", {}, "PATH"),
      trace("trace", {}, "FILE"), script("script", {}, "FILE"), log("log", {}, "FILE"),
      prologix("prologix", {}, "TARGET"), baud("baud", {}, "N"), modbus("modbus", {}, "TARGET"),
      parity("parity", {}, "PARITY"), stopBits("stop-bits", {}, "N");
  parser.addOptions({simulate, virtualTime, help, version, driver, trace, script, log, prologix,
                     baud, modbus, parity, stopBits});

  QStringList arguments{"gpib-modbus-console"};
  for (const std::string& arg : args) arguments << QString::fromStdString(arg);

  Options options;
  if (!parser.parse(arguments)) {
    // The parser names the option it stopped at; say it in the console's own words.
    if (!parser.unknownOptionNames().isEmpty()) {
      const QString name = parser.unknownOptionNames().constFirst();
      options.error = "unknown option " + std::string(name.size() == 1 ? "-" : "--") +
                      bus::printableText(name.toStdString(), kQuotedOption);
    } else {
      const QString text = parser.errorText();
      for (const QString name : {"driver", "trace", "script", "log", "prologix", "baud", "modbus",
                                 "parity", "stop-bits"})
        if (text.contains("'--" + name + "'")) options.error = missingValue(name);
      if (options.error.empty()) options.error = bus::printableText(text.toStdString(), 300);
    }
    return options;
  }
  if (!parser.positionalArguments().isEmpty()) {
    options.error =
        "unknown option " +
        bus::printableText(parser.positionalArguments().constFirst().toStdString(), kQuotedOption);
    return options;
  }
  for (const QCommandLineOption* option :
       {&driver, &trace, &script, &log, &prologix, &baud, &modbus, &parity, &stopBits})
    if (parser.isSet(*option) && parser.value(*option).isEmpty()) {
      options.error = missingValue(option->names().constFirst());
      return options;
    }

  if (parser.isSet(simulate)) options.driver = Options::Driver::Simulator;
  if (parser.isSet(driver)) {
    options.driver = Options::Driver::Library;
    options.driverPath = parser.value(driver).toStdString();
  }
  if (parser.isSet(modbus)) {
    if (const std::string problem = modbusOptions(parser, options); !problem.empty())
      options.error = problem;
    else
      finish(parser, options);
    return options;
  }
  if (parser.isSet(parity) || parser.isSet(stopBits)) {
    options.error = std::string(parser.isSet(parity) ? "--parity" : "--stop-bits") +
                    " needs --modbus with a serial device";
    return options;
  }
  if (parser.isSet(prologix)) {
    if (parser.isSet(simulate) || parser.isSet(driver)) {
      options.error = "--prologix cannot go with --simulate or --driver: one driver at a time";
      return options;
    }
    options.driver = Options::Driver::Prologix;
    options.driverPath = parser.value(prologix).toStdString();
    const prologix::Target target = prologix::parseTarget(options.driverPath);
    if (!target.problem.empty()) {
      options.error = bus::printableText(target.problem, kQuotedOption);
      return options;
    }
    if (parser.isSet(baud) && !target.serial) {
      options.error = "--baud is for a serial device, not for a network adapter";
      return options;
    }
  } else if (parser.isSet(baud)) {
    options.error = "--baud needs --prologix with a serial device";
    return options;
  }
  if (parser.isSet(baud)) {
    bool number = false;
    const int rate = parser.value(baud).toInt(&number);
    if (!number || rate < 50 || rate > 4000000) {
      options.error = "--baud needs a rate from 50 to 4000000, not " +
                      bus::printableText(parser.value(baud).toStdString(), kQuotedOption);
      return options;
    }
    options.baud = rate;
  }
  finish(parser, options);
  return options;
}

namespace {

// The options every driver shares, and the checks across them.
void finish(const QCommandLineParser& parser, Options& options) {
  options.tracePath = parser.value("trace").toStdString();
  options.scriptPath = parser.value("script").toStdString();
  options.logPath = parser.value("log").toStdString();
  options.virtualTime = parser.isSet("virtual-time");
  options.help = parser.isSet("help");
  options.version = parser.isSet("version");

  if (options.virtualTime && options.driver != Options::Driver::Simulator)
    options.error =
        "--virtual-time needs --simulate: only the built-in simulator keeps "
        "simulated time";
  else if (options.virtualTime && options.scriptPath.empty())
    options.error = "--virtual-time needs --script: without one nothing makes the time pass";
}

}  // namespace

std::string usageText() {
  return "Usage: gpib-modbus-console [--simulate | --driver PATH | --prologix TARGET [--baud N]\n"
         "                            | --modbus TARGET [--baud N] [--parity PARITY]\n"
         "                                              [--stop-bits N]]\n"
         "                           [--trace FILE] [--log FILE]\n"
         "                           [--script FILE [--virtual-time]] [--help] [--version]\n"
         "\n"
         "Console for a GPIB-to-Modbus converter and the Watlow F4 controller behind it.\n"
         "\n"
         "  --simulate       run on the built-in simulated converter and controller\n"
         "  --driver PATH    use the NI-488.2-style GPIB driver library at PATH\n"
         "  --prologix TARGET\n"
         "                   use a Prologix-protocol GPIB adapter (Prologix, AR488): a serial\n"
         "                   device (/dev/ttyUSB0, 115200 baud 8N1) or HOST[:PORT] (port 1234)\n"
         "  --modbus TARGET  no converter: the console's own converter drives the controller\n"
         "                   over Modbus RTU on a serial device (/dev/ttyUSB0, 9600 baud 8N1)\n"
         "                   or Modbus TCP at HOST[:PORT] (port 502)\n"
         "  --baud N         the adapter's serial baud rate, or the Modbus line's\n"
         "  --parity PARITY  the Modbus line's parity: none, even or odd\n"
         "  --stop-bits N    the Modbus line's stop bits: 1 or 2\n"
         "  --trace FILE     write every bus event to FILE (- for standard output)\n"
         "  --log FILE       append every temperature and set point reading to the CSV FILE\n"
         "  --script FILE    carry out the operator steps in FILE, report the failed ones and\n"
         "                   exit 0 only when none failed\n"
         "  --virtual-time   with --simulate: pauses and waits pass at once in simulated time\n"
         "  --help           show this text\n"
         "  --version        show the version\n"
         "\n"
         "Without --simulate or --driver the console uses the platform's GPIB driver library\n"
         "when it loads, and the built-in simulator otherwise.\n";
}

}  // namespace app
