// Writes the wire traffic and the texts shown of a fixed session on the simulator, so that runs
// under different locales can be compared byte for byte.
#include <QApplication>
#include <clocale>
#include <fstream>
#include <iostream>
#include <string>

#include "Rig.h"

int main(int argc, char** argv) {
  // The application takes the C library's locale from the environment, as the console does.
  QApplication application(argc, argv);
  if (argc != 3) {
    std::cerr << "usage: locale_trace OUTPUT DECIMAL-POINT\n";
    return 2;
  }
  // A locale that did not take would make the comparison prove nothing.
  if (std::string(std::localeconv()->decimal_point) != argv[2]) {
    std::cerr << "locale_trace: decimal point is \"" << std::localeconv()->decimal_point
              << "\", not \"" << argv[2] << "\" (is the locale generated?)\n";
    return 1;
  }

  reliability::Rig r;
  auto& w = r.window;
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  auto step = [&](const char* what, auto&& action) {
    action();
    out << "== " << what << "\n";
    for (const std::string& event : r.rec.take()) out << event << "\n";
    out << "results: " << r.results() << "\nerror: " << ui::toBytes(w.txtError->text())
        << "\ntemp: " << ui::toBytes(w.txtTemp->text()) << "\n";
  };
  auto type = [&](QLineEdit* box, const char* text) { box->setText(text); };

  step("discovery", [&] { w.cmdInitialize->click(); });
  for (QPushButton* query : {w.cmdRdModel, w.cmdRdSN, w.cmdRdSoft, w.cmdRdRev, w.cmdRdDate,
                             w.cmdRdSetPt, w.cmdRdTemp, w.cmdRdErr, w.cmdESR})
    step(query->objectName().toLatin1().constData(), [&] { query->click(); });
  step("static", [&] { w.cmdStatic->click(); });
  step("set point", [&] { type(w.txtSetPt, "72.5"), w.cmdSetPt->click(); });
  step("set point exponent", [&] { type(w.txtSetPt, "1.5E2"), w.cmdSetPt->click(); });
  step("set point off", [&] { w.cmdStopSetPt->click(); });
  step("unit C", [&] { w.optUnits[1]->select(); });
  step("unit F", [&] { w.optUnits[0]->select(); });
  step("read", [&] { type(w.txtReg, "3.0E2"), type(w.txtOutput, "2"), w.cmdSend->click(); });
  step("write", [&] {
    w.optCmdWrt->select();
    type(w.txtReg, "300.4"), type(w.txtOutput, " 71.5"), w.cmdSend->click();
  });
  step("hex", [&] { w.optHex->select(); });
  step("hex read", [&] {
    w.optCmdRead->select();
    type(w.txtReg, "300"), type(w.txtOutput, "1"), w.cmdSend->click();
  });
  step("decimal", [&] { w.optDecimal->select(); });
  step("live displays", [&] {
    w.TempRdFlag = w.TimeRdFlag = 1;
    for (int i = 0; i < 3; ++i) w.Timer1_Timer();
  });
  return out ? 0 : 1;
}
