#include "ProfileFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <cmath>
#include <cstdio>
#include <optional>

namespace profilelibrary {

namespace {

const char* const kEndActions[] = {"hold", "control off", "all off", "idle"};

QString clockText(int h, int m, int s) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", h, m, s);
  return text;
}

QJsonObject stepObject(const Step& s) {
  QJsonObject o;
  if (!s.known()) {
    o["type"] = s.type;
    QJsonArray registers;
    for (std::int16_t r : s.registers) registers.append(r);
    o["registers"] = registers;
    return o;
  }
  o["type"] = QString::fromStdString(kindName(s.type));
  switch (s.kind()) {
    case StepKind::AutoStart:
      o["time"] = clockText(s.hours, s.minutes, s.seconds);
      o["weekday"] = s.weekday;
      break;
    case StepKind::Time:
      o["duration"] = clockText(s.hours, s.minutes, s.seconds);
      o["end"] = s.endTemperature;
      break;
    case StepKind::Ramp:
      o["rate"] = s.rateTenths / 10.0;
      o["end"] = s.endTemperature;
      break;
    case StepKind::Soak:
      o["duration"] = clockText(s.hours, s.minutes, s.seconds);
      break;
    default:
      o["action"] = s.endAction >= 0 && s.endAction <= 3 ? QString(kEndActions[s.endAction])
                                                         : QString::number(s.endAction);
      break;
  }
  return o;
}

// Reads fields out of JSON values, keeping the path of the value for the message.
class Reader {
 public:
  std::string problem;

  bool fail(const std::string& path, const std::string& what) {
    if (problem.empty()) problem = path + ": " + what;
    return false;
  }
  std::optional<QJsonObject> object(const QJsonValue& v, const std::string& path) {
    if (!v.isObject()) return fail(path, "expected an object"), std::nullopt;
    return v.toObject();
  }
  std::optional<QJsonArray> array(const QJsonValue& v, const std::string& path) {
    if (!v.isArray()) return fail(path, "expected a list"), std::nullopt;
    return v.toArray();
  }
  std::optional<std::string> text(const QJsonValue& v, const std::string& path) {
    if (!v.isString()) return fail(path, "expected a text"), std::nullopt;
    return v.toString().toStdString();
  }
  // A whole number in low..high.
  std::optional<int> whole(const QJsonValue& v, const std::string& path, long low, long high) {
    if (!v.isDouble()) return fail(path, "expected a number"), std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::floor(d))
      return fail(path, "expected a whole number"), std::nullopt;
    if (d < static_cast<double>(low) || d > static_cast<double>(high))
      return fail(path, "value outside " + std::to_string(low) + ".." + std::to_string(high)),
             std::nullopt;
    return static_cast<int>(d);
  }
  // "HH:MM:SS" into the step's three fields (ranges are the profile check's).
  bool clock(const QJsonValue& v, const std::string& path, Step& s) {
    const auto t = text(v, path);
    if (!t) return false;
    int h = 0, m = 0, sec = 0;
    char rest = 0;
    if (t.value().size() > 9 ||
        std::sscanf(t.value().c_str(), "%2d:%2d:%2d%c", &h, &m, &sec, &rest) != 3 || h < 0 ||
        m < 0 || sec < 0)
      return fail(path, "expected \"HH:MM:SS\"");
    s.hours = h, s.minutes = m, s.seconds = sec;
    return true;
  }
  std::optional<Step> step(const QJsonValue& value, const std::string& path);
  std::optional<Profile> profile(const QJsonValue& value, const std::string& path);
};

std::optional<Step> Reader::step(const QJsonValue& value, const std::string& path) {
  const auto o = object(value, path);
  if (!o) return std::nullopt;
  Step s;
  const QJsonValue type = (*o)["type"];
  if (type.isDouble()) {
    // A step the console does not know, kept by its registers.
    const auto number = whole(type, path + ".type", 0, 254);
    if (number && *number >= 0 && *number <= 5 && *number != static_cast<int>(StepKind::Jump))
      return fail(path + ".type", "a " + kindName(*number) + " step is written by its name, \"" +
                                      kindName(*number) + "\""),
             std::nullopt;
    const auto registers = number ? array((*o)["registers"], path + ".registers") : std::nullopt;
    if (!registers) return std::nullopt;
    if (registers->size() != 60)
      return fail(path + ".registers", "expected 60 registers"), std::nullopt;
    s.type = *number;
    for (qsizetype i = 0; i < registers->size(); ++i) {
      const auto r =
          whole(registers->at(i), path + ".registers[" + std::to_string(i) + "]", -32768, 32767);
      if (!r) return std::nullopt;
      s.registers.push_back(static_cast<std::int16_t>(*r));
    }
    if (s.registers.front() != s.type)
      return fail(path + ".registers[0]",
                  "the first register is the step type, " + std::to_string(s.type)),
             std::nullopt;
    return s;
  }
  const auto name = text(type, path + ".type");
  if (!name) return std::nullopt;
  for (int t : {0, 1, 2, 3, 5})
    if (*name == kindName(t)) s.type = t;
  if (kindName(s.type) != *name || (s.type == 5 && *name != "End"))
    return fail(path + ".type", "unknown step type \"" + *name + "\""), std::nullopt;
  bool ok = true;
  switch (s.kind()) {
    case StepKind::AutoStart: {
      ok = clock((*o)["time"], path + ".time", s);
      const auto day = ok ? whole((*o)["weekday"], path + ".weekday", 0, 7) : std::nullopt;
      ok = ok && day;
      if (day) s.weekday = *day;
      break;
    }
    case StepKind::Time:
    case StepKind::Soak:
      ok = clock((*o)["duration"], path + ".duration", s);
      if (ok && s.kind() == StepKind::Time) {
        const auto end = whole((*o)["end"], path + ".end", -32768, 32767);
        ok = end.has_value();
        if (end) s.endTemperature = *end;
      }
      break;
    case StepKind::Ramp: {
      const QJsonValue rate = (*o)["rate"];
      if (!rate.isDouble() || !std::isfinite(rate.toDouble()) || rate.toDouble() < 0.1 ||
          rate.toDouble() > 999.9)
        return fail(path + ".rate", "expected a rate of 0.1 to 999.9 degrees a minute"),
               std::nullopt;
      s.rateTenths = static_cast<int>(std::lround(rate.toDouble() * 10));
      const auto end = whole((*o)["end"], path + ".end", -32768, 32767);
      ok = end.has_value();
      if (end) s.endTemperature = *end;
      break;
    }
    default: {
      const auto action = text((*o)["action"], path + ".action");
      ok = action.has_value();
      s.endAction = -1;
      for (int a = 0; ok && a < 4; ++a)
        if (*action == kEndActions[a]) s.endAction = a;
      if (ok && s.endAction < 0)
        ok = fail(path + ".action", "unknown end action \"" + *action + "\"");
      break;
    }
  }
  if (!ok) return std::nullopt;
  return s;
}

std::optional<Profile> Reader::profile(const QJsonValue& value, const std::string& path) {
  const auto o = object(value, path);
  if (!o) return std::nullopt;
  Profile p;
  if (o->contains("number")) {
    const auto number = whole((*o)["number"], path + ".number", 1, 40);
    if (!number) return std::nullopt;
    p.number = *number;
  }
  if (o->contains("name")) {
    const auto name = text((*o)["name"], path + ".name");
    if (!name) return std::nullopt;
    p.name = *name;
  }
  const auto steps = array((*o)["steps"], path + ".steps");
  if (!steps) return std::nullopt;
  if (steps->size() > 256)
    return fail(path + ".steps",
                std::to_string(steps->size()) + " steps are more than the controller holds (256)"),
           std::nullopt;
  for (qsizetype i = 0; i < steps->size(); ++i) {
    auto s = step(steps->at(i), path + ".steps[" + std::to_string(i) + "]");
    if (!s) return std::nullopt;
    p.steps.push_back(std::move(*s));
  }
  if (const std::string problem = checkProfile(p, false); !problem.empty())
    return fail(path, problem), std::nullopt;
  return p;
}

std::string csvField(std::string text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

std::string toJson(const ProfileSet& set) {
  QJsonArray profiles;
  for (const Profile& p : set.profiles) {
    QJsonObject o;
    if (p.number > 0) o["number"] = p.number;
    o["name"] = QString::fromStdString(p.name);
    QJsonArray steps;
    for (const Step& s : p.steps) steps.append(stepObject(s));
    o["steps"] = steps;
    profiles.append(o);
  }
  QJsonObject root;
  root["format"] = kFormatName;
  root["version"] = kFormatVersion;
  root["unit"] = set.unit == 1 ? "C" : "F";
  root["profiles"] = profiles;
  return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

Reading fromJson(const std::string& text) {
  Reading reading;
  QJsonParseError error;
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())), &error);
  if (error.error != QJsonParseError::NoError) {
    reading.problem = "not a profile file: " + error.errorString().toStdString() + " at byte " +
                      std::to_string(error.offset);
    return reading;
  }
  Reader r;
  const auto root = document.isObject()
                        ? std::optional(document.object())
                        : (r.fail("file", "expected a JSON object"), std::optional<QJsonObject>());
  if (root) {
    const auto format = r.text((*root)["format"], "format");
    if (format && *format != kFormatName)
      r.fail("format", "\"" + *format + "\" is not a profile file");
    const auto version =
        r.problem.empty() ? r.whole((*root)["version"], "version", 1, 1000000) : std::nullopt;
    if (version && *version > kFormatVersion)
      r.fail("version", "version " + std::to_string(*version) +
                            " is newer than this console reads (" + std::to_string(kFormatVersion) +
                            ")");
    const auto unit = r.problem.empty() ? r.text((*root)["unit"], "unit") : std::nullopt;
    if (unit && *unit != "F" && *unit != "C") r.fail("unit", "expected \"F\" or \"C\"");
    if (unit) reading.set.unit = *unit == "C" ? 1 : 0;
    const auto profiles =
        r.problem.empty() ? r.array((*root)["profiles"], "profiles") : std::nullopt;
    if (profiles && profiles->isEmpty()) r.fail("profiles", "the file holds no profile");
    for (qsizetype i = 0; profiles && r.problem.empty() && i < profiles->size(); ++i)
      if (auto p = r.profile(profiles->at(i), "profiles[" + std::to_string(i) + "]"))
        reading.set.profiles.push_back(std::move(*p));
  }
  reading.problem = r.problem;
  if (!reading.ok()) reading.set = {};
  return reading;
}

std::string toCsv(const ProfileSet& set) {
  const std::string unit = set.unit == 1 ? "C" : "F";
  std::string csv = "profile,name,step,type,parameters,hours,minutes,seconds,weekday,rate (" +
                    unit + "/min),end temperature (" + unit + "),end action\r\n";
  for (const Profile& p : set.profiles)
    for (std::size_t i = 0; i < p.steps.size(); ++i) {
      const Step& s = p.steps[i];
      const bool timed = s.known() && s.kind() != StepKind::Ramp && s.kind() != StepKind::End;
      const bool ends = s.known() && (s.kind() == StepKind::Time || s.kind() == StepKind::Ramp);
      csv += std::to_string(p.number) + "," + csvField(p.name) + "," + std::to_string(i + 1) + "," +
             kindName(s.type) + "," + csvField(describeStep(s, unit)) + "," +
             (timed ? std::to_string(s.hours) + "," + std::to_string(s.minutes) + "," +
                          std::to_string(s.seconds)
                    : std::string(",,")) +
             "," + (s.known() && s.kind() == StepKind::AutoStart ? std::to_string(s.weekday) : "") +
             "," + (s.known() && s.kind() == StepKind::Ramp ? tenthsText(s.rateTenths) : "") + "," +
             (ends ? std::to_string(s.endTemperature) : "") + "," +
             (s.known() && s.kind() == StepKind::End ? describeStep(s) : "") + "\r\n";
    }
  return csv;
}

}  // namespace profilelibrary
