#include "Options.h"

#include <QCommandLineParser>
#include <QStringList>

#include "Link.h"
#include "NumberText.h"

namespace app {

namespace {

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
  return "--script needs the path of a script file";
}

}  // namespace

Options parseOptions(const std::vector<std::string>& args) {
  QCommandLineParser parser;
  // Options are written --name; a single dash is never a bundle of letters here.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption simulate("simulate"), virtualTime("virtual-time"),
      help(QStringList{"h", "help"}), version("version"), driver("driver", {}, "PATH"),
      trace("trace", {}, "FILE"), script("script", {}, "FILE"), log("log", {}, "FILE"),
      prologix("prologix", {}, "TARGET"), baud("baud", {}, "N");
  parser.addOptions(
      {simulate, virtualTime, help, version, driver, trace, script, log, prologix, baud});

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
      for (const QString name : {"driver", "trace", "script", "log", "prologix", "baud"})
        if (text.contains("'--" + name + "'")) options.error = missingValue(name);
      if (options.error.empty()) options.error = bus::printableText(text.toStdString(), 300);
    }
    return options;
  }
  if (!parser.positionalArguments().isEmpty()) {
    options.error = "unknown option " +
                    bus::printableText(parser.positionalArguments().constFirst().toStdString(),
                                       kQuotedOption);
    return options;
  }
  for (const QCommandLineOption* option : {&driver, &trace, &script, &log, &prologix, &baud})
    if (parser.isSet(*option) && parser.value(*option).isEmpty()) {
      options.error = missingValue(option->names().constFirst());
      return options;
    }

  if (parser.isSet(simulate)) options.driver = Options::Driver::Simulator;
  if (parser.isSet(driver)) {
    options.driver = Options::Driver::Library;
    options.driverPath = parser.value(driver).toStdString();
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
  options.tracePath = parser.value(trace).toStdString();
  options.scriptPath = parser.value(script).toStdString();
  options.logPath = parser.value(log).toStdString();
  options.virtualTime = parser.isSet(virtualTime);
  options.help = parser.isSet(help);
  options.version = parser.isSet(version);

  if (options.virtualTime && options.driver != Options::Driver::Simulator)
    options.error =
        "--virtual-time needs --simulate: only the built-in simulator keeps "
        "simulated time";
  else if (options.virtualTime && options.scriptPath.empty())
    options.error = "--virtual-time needs --script: without one nothing makes the time pass";
  return options;
}

std::string usageText() {
  return "Usage: gpib-modbus-console [--simulate | --driver PATH | --prologix TARGET [--baud N]]\n"
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
         "  --baud N         the adapter's serial baud rate\n"
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
