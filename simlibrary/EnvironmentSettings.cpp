#include "EnvironmentSettings.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

namespace simlibrary {

namespace {

using Change = std::function<void(sim::SimulatedBus&)>;

// A value that cannot be used: what it should have been.
struct Refusal {
  std::string why;
  const char* variable = nullptr;  // when another variable than the one being read is at fault
};

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Numbers in the C locale whatever the client process set.
long whole(const std::string& text, long low, long high, const std::string& what) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
      value > high)
    throw Refusal{what + " must be a whole number in " + std::to_string(low) + ".." +
                  std::to_string(high)};
  return value;
}

double decimal(const std::string& text, double low, double high, const std::string& what) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value) || value < low || value > high)
    throw Refusal{what + " must be a number of degrees in " + std::to_string(long(low)) + ".." +
                  std::to_string(long(high))};
  return value;
}

// The words of one fault step; a text in double quotes is one word without its quotes.
std::vector<std::string> words(const std::string& step) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while ((at = step.find_first_not_of(" \t", at)) != std::string::npos) {
    if (step[at] == '"') {
      const std::size_t close = step.find('"', at + 1);
      if (close == std::string::npos) throw Refusal{"a quoted text lacks its closing quote"};
      out.push_back(step.substr(at + 1, close - at - 1));
      at = close + 1;
    } else {
      const std::size_t end = step.find_first_of(" \t", at);
      out.push_back(step.substr(at, end - at));
      at = end;
    }
  }
  return out;
}

// The rest of a step after its first word, as one text.
std::string rest(const std::vector<std::string>& w) {
  std::string text;
  for (std::size_t i = 1; i < w.size(); ++i) text += (i > 1 ? " " : "") + w[i];
  return text;
}

// The numbers after a step's first word, as many as `count`.
std::vector<double> numbers(const std::vector<std::string>& w, std::size_t count,
                            const std::string& step) {
  if (w.size() != count + 1) throw Refusal{"\"" + step + "\" has the wrong words"};
  std::vector<double> values;
  for (std::size_t i = 1; i < w.size(); ++i) {
    double value = 0;
    const auto [end, error] = std::from_chars(w[i].data(), w[i].data() + w[i].size(), value);
    if (error != std::errc() || end != w[i].data() + w[i].size() || !std::isfinite(value))
      throw Refusal{"\"" + w[i] + "\" is not a number"};
    values.push_back(value);
  }
  return values;
}

// The chamber's model, plant and loop, the link's pace and latency; nothing for another step.
Change chamberStep(const std::vector<std::string>& w, const std::string& step) {
  const std::string& what = w.at(0);
  if (what == "chamber") {
    if (w.size() != 2 || (w[1] != "thermal" && w[1] != "linear"))
      throw Refusal{"chamber takes thermal or linear"};
    const auto model =
        w[1] == "linear" ? sim::Chamber::Model::Linear : sim::Chamber::Model::Thermal;
    return [=](auto& bus) { bus.controller().setChamberModel(model); };
  }
  if (what == "plant") {
    const std::vector<double> v = numbers(w, 5, step);
    const sim::Chamber::Plant plant{v[0], v[1], v[2], v[3], v[4]};
    if (const std::string why = sim::Chamber::refusal(plant); !why.empty()) throw Refusal{why};
    return [=](auto& bus) { bus.controller().setPlant(plant); };
  }
  if (what == "loop") {
    const std::vector<double> v = numbers(w, 3, step);
    const sim::Chamber::Loop loop{v[0], v[1], v[2]};
    if (const std::string why = sim::Chamber::refusal(loop); !why.empty()) throw Refusal{why};
    return [=](auto& bus) { bus.controller().setLoop(loop); };
  }
  if (what == "link") {
    if (w.size() != 2 || (w[1] != "paced" && w[1] != "instant"))
      throw Refusal{"link takes paced or instant"};
    return [paced = w[1] == "paced"](auto& bus) { bus.converter().setPaced(paced); };
  }
  if (what == "latency") {
    const double milliseconds = numbers(w, 1, step)[0];
    if (milliseconds < 0 || milliseconds > 10000)
      throw Refusal{"the latency must lie from 0 to 10000 milliseconds"};
    return [=](auto& bus) { bus.converter().setLatency(milliseconds / 1000); };
  }
  return {};
}

Change fault(const std::string& step) {
  const std::vector<std::string> w = words(step);
  const std::string& what = w.at(0);
  const auto count = [&](std::size_t low, std::size_t high) {
    if (w.size() < low || w.size() > high) throw Refusal{"\"" + step + "\" has the wrong words"};
  };
  if (what == "absent" || what == "present") {
    count(1, 1);
    return [present = what == "present"](auto& bus) { bus.setConverterPresent(present); };
  }
  if (what == "silent") {
    count(2, 2);
    if (w[1] != "on" && w[1] != "off") throw Refusal{"silent takes on or off"};
    return [on = w[1] == "on"](auto& bus) { bus.setConverterSilent(on); };
  }
  if (what == "modbus-error") {
    count(2, 3);
    const int code = static_cast<int>(whole(w[1], 1, 65535, "the Modbus error code"));
    const int times = w.size() > 2 ? static_cast<int>(whole(w[2], 1, 1000000, "the count")) : 1;
    return [=](auto& bus) { bus.failNextTransactions(times, code); };
  }
  if (what == "register") {
    count(3, 3);
    const int reg = static_cast<int>(whole(w[1], 0, 65535, "the register"));
    if (w[2] == "none") return [=](auto& bus) { bus.setRegisterSilent(reg); };
    if (w[2] == "clear") return [=](auto& bus) { bus.clearRegisterFault(reg); };
    const auto value = static_cast<std::uint16_t>(whole(w[2], -32768, 65535, "the value"));
    return [=](auto& bus) { bus.setRegisterValue(reg, value); };
  }
  if (what == "reply" || what == "identity" || what == "model") {
    const std::string text = rest(w);
    if (what == "reply") return [=](auto& bus) { bus.setNextReply(text); };
    if (text.empty()) throw Refusal{what + " needs a text"};
    if (what == "identity") return [=](auto& bus) { bus.setIdentity(text); };
    return [=](auto& bus) { bus.converter().setModel(text); };
  }
  if (what == "baud") {
    count(2, 2);
    const int baud = static_cast<int>(whole(w[1], 1, 10000000, "the baud rate"));
    return [=](auto& bus) { bus.setControllerBaud(baud); };
  }
  if (what == "ambient") {
    count(2, 2);
    const double degrees = decimal(w[1], -1000, 3000, "the ambient");
    return [=](auto& bus) { bus.controller().setAmbient(degrees); };
  }
  if (what == "rates") {
    count(4, 4);
    double r[3];
    for (int i = 0; i < 3; ++i) {
      r[i] = decimal(w[static_cast<std::size_t>(i) + 1], 0, 1000, "each rate");
      if (r[i] <= 0) throw Refusal{"each rate must lie above 0"};
    }
    return [=](auto& bus) { bus.controller().setRates(r[0], r[1], r[2]); };
  }
  if (Change change = chamberStep(w, step)) return change;
  throw Refusal{"unknown fault \"" + what +
                "\" (absent, present, silent, modbus-error, register, reply, identity, baud, "
                "model, ambient, rates, chamber, plant, loop, latency, link)"};
}

std::vector<Change> faults(const std::string& text) {
  std::vector<Change> changes;
  std::size_t from = 0;
  while (from <= text.size()) {
    const std::size_t end = std::min(text.find(';', from), text.size());
    const std::string step = trimmed(text.substr(from, end - from));
    if (!step.empty()) changes.push_back(fault(step));
    from = end + 1;
  }
  return changes;
}

}  // namespace

std::string applyEnvironment(sim::SimulatedBus& bus, const Environment& environment) {
  std::vector<Change> changes;
  const char* name = "";
  try {
    const auto take = [&](const char* variable) -> std::optional<std::string> {
      name = variable;
      const char* value = environment(variable);
      if (!value) return std::nullopt;
      return trimmed(value);
    };
    // Both addresses are set in one change, so that the two devices may trade places.
    std::optional<int> instrument, converter;
    if (const auto text = take("GPIBSIM_INSTRUMENT"))
      instrument = *text == "none" ? -1 : static_cast<int>(whole(*text, 1, 30, "the address"));
    if (const auto text = take("GPIBSIM_ADDRESS"))
      converter = static_cast<int>(whole(*text, 1, 30, "the address"));
    if (instrument || converter) {
      changes.push_back([=](auto& b) {
        const int kept = b.instrumentAddress();
        b.setInstrumentAddress(-1);
        b.setConverterAddress(converter.value_or(b.converterAddress()));
        if (!b.setInstrumentAddress(instrument.value_or(kept)))
          throw Refusal{
              instrument ? "the address is the converter's" : "the address is the instrument's",
              instrument ? "GPIBSIM_INSTRUMENT" : "GPIBSIM_ADDRESS"};
      });
    }
    if (const auto text = take("GPIBSIM_MODEL")) {
      if (text->empty()) throw Refusal{"the model must not be empty"};
      changes.push_back([model = *text](auto& b) { b.converter().setModel(model); });
    }
    if (const auto text = take("GPIBSIM_IDENTITY")) {
      if (text->empty()) throw Refusal{"the identity must not be empty"};
      changes.push_back([identity = *text](auto& b) { b.setIdentity(identity); });
    }
    if (const auto text = take("GPIBSIM_AMBIENT")) {
      const double degrees = decimal(*text, -1000, 3000, "the ambient");
      changes.push_back([=](auto& b) { b.controller().setAmbient(degrees); });
    }
    // The chamber's variables take the words of the sim step of the same name.
    static const std::pair<const char*, const char*> kChamberVariables[] = {
        {"GPIBSIM_CHAMBER", "chamber "},
        {"GPIBSIM_PLANT", "plant "},
        {"GPIBSIM_LOOP", "loop "},
        {"GPIBSIM_LATENCY", "latency "},
        {"GPIBSIM_LINK", "link "}};
    for (const auto& [variable, step] : kChamberVariables)
      if (const auto text = take(variable)) changes.push_back(fault(step + *text));
    if (const auto text = take("GPIBSIM_FAULTS")) {
      for (Change& change : faults(*text)) changes.push_back(std::move(change));
    }
    // Addresses are checked against each other on a scratch bench before the real one changes.
    bus::VirtualClock clock;
    sim::SimulatedBus trial(clock);
    for (const Change& change : changes) change(trial);
  } catch (const Refusal& refusal) {
    if (refusal.variable) name = refusal.variable;
    const char* value = environment(name);
    return std::string("gpibsim: ") + name + "=\"" + (value ? value : "") +
           "\" cannot be used: " + refusal.why + "; the default bench runs instead";
  }
  for (const Change& change : changes) change(bus);
  return {};
}

}  // namespace simlibrary
