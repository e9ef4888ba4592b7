#include "ExtraWindows.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>

#include "Controls.h"
#include "Layout.h"
#include "MainWindow.h"
#include "Observers.h"
#include "SimulatedBus.h"
#include "SimulatedConsole.h"
#include "Trace.h"
#include "TrendWindow.h"

namespace {

using namespace testing_support;

using Console = SimulatedConsole;

// Every control a screen reader meets, and what it is called, for the controls without a name.
std::vector<std::string> unnamed(QWidget* window) {
  std::vector<std::string> missing;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                         qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QAbstractItemView*>(w) ||
                         qobject_cast<QChartView*>(w) || qobject_cast<QLabel*>(w);
    if (!control || w->objectName().isEmpty() || w->objectName().startsWith("qt_")) continue;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    if (!a || a->text(QAccessible::Name).trimmed().isEmpty())
      missing.push_back(window->objectName().toStdString() + "." + w->objectName().toStdString());
  }
  return missing;
}

std::string nameOf(QWidget* w) {
  return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).toStdString();
}

TEST(Accessibility, EveryControlOfEveryWindowHasAName) {
  QTemporaryDir dir;
  Console c;
  extrawindows::ExtraWindows extras{c.main,
                                    c.clock,
                                    c.observers,
                                    c.events,
                                    {true, "", {}, &c.driver, dir.filePath("windows.conf")}};
  std::vector<QWidget*> windows{&c.main};
  click(c.main, "cmdInitialize");
  for (const char* opens : {"cmd488_2Cmds", "cmdCreate"}) {
    click(c.main, opens);
    windows.push_back(QApplication::activeModalWidget());
    windows.back()->hide();
  }
  windows.push_back(extras.openTrend());
  windows.push_back(extras.openMonitor());
  windows.push_back(extras.openSimulator());
  windows.push_back(extras.openLibrary());
  std::vector<std::string> missing;
  for (QWidget* w : windows) {
    ASSERT_TRUE(w);
    for (const std::string& name : unnamed(w)) missing.push_back(name);
  }
  EXPECT_EQ(missing, std::vector<std::string>{});
  // The extra windows as they open: nothing cut, nothing on top of another control.
  for (std::size_t i = 3; i < windows.size(); ++i)
    EXPECT_EQ(testing_support::layoutProblems(windows[i]), std::vector<std::string>{})
        << windows[i]->objectName().toStdString();
  // A text box takes the label beside it; the result and error boxes say what they are.
  const std::pair<const char*, const char*> boxes[] = {{"txtCurAddr", "ModBus Address"},
                                                       {"txtReg", "Reg# Data Field"},
                                                       {"txtSetPt", "Set SetPt"},
                                                       {"txtResults", "Command Response"},
                                                       {"txtError", "Error"}};
  for (const auto& [box, name] : boxes) EXPECT_EQ(nameOf(c.main.control(box)), name) << box;
  EXPECT_EQ(QAccessible::queryAccessibleInterface(c.main.control("txtError"))
                ->text(QAccessible::Description)
                .toStdString(),
            "Error box: the last bus or Modbus error");
}

// The extra windows come back where they were, with their options; the bench's own state is
// never taken from an old run, and without a file nothing is kept.
TEST(ExtraWindows, ExtraWindowsRememberTheirPlaceAndOptions) {
  QTemporaryDir dir;
  const QString file = dir.filePath("windows.conf");
  {
    Console c;
    extrawindows::ExtraWindows extras{
        c.main, c.clock, c.observers, c.events, {true, "", {}, &c.driver, file}};
    trend::TrendWindow* t = extras.openTrend();
    t->setGeometry(40, 50, 950, 620);
    t->findChild<QRadioButton*>("optSpan1h")->click();
    t->findChild<QAbstractButton*>("chkFollow")->click();
    extras.openMonitor()->findChild<QAbstractButton*>("chkModbus")->click();
    extras.openSimulator()->findChild<QAbstractButton*>("chkSilent")->click();
    t->hide();  // kept when hidden; the others when the console ends
  }
  Console c;
  extrawindows::ExtraWindows extras{
      c.main, c.clock, c.observers, c.events, {true, "", {}, &c.driver, file}};
  trend::TrendWindow* t = extras.openTrend();
  EXPECT_EQ(t->geometry().size(), QSize(950, 620));
  EXPECT_TRUE(t->findChild<QRadioButton*>("optSpan1h")->isChecked());
  EXPECT_EQ(t->viewEnd() - t->viewStart(), 3600);
  EXPECT_FALSE(t->findChild<QAbstractButton*>("chkFollow")->isChecked());
  EXPECT_FALSE(extras.openMonitor()->findChild<QAbstractButton*>("chkModbus")->isChecked());
  EXPECT_FALSE(extras.openSimulator()->findChild<QAbstractButton*>("chkSilent")->isChecked());

  Console fresh;
  extrawindows::ExtraWindows scripted{
      fresh.main, fresh.clock, fresh.observers, fresh.events, {.virtualTime = true}};
  EXPECT_TRUE(scripted.openTrend()->findChild<QRadioButton*>("optSpan10m")->isChecked());
}

}  // namespace
