#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QString>
#include <QWidget>
#include <string>

#include "Form.h"

namespace testing_support {

// Acting on a table-built window (main, setup or profile) by control name, as an operator would:
// a disabled or hidden button does nothing when clicked.
template <class Window>
QWidget* find(const Window& w, const QString& name) {
  QWidget* control = w.control(name);
  if (!control) ADD_FAILURE() << "no control " << name.toStdString();
  return control;
}
template <class Window>
void click(Window& w, const QString& name) {
  if (auto* button = qobject_cast<QAbstractButton*>(find(w, name))) button->click();
}
template <class Window>
void type(Window& w, const QString& name, const std::string& text) {
  if (QWidget* box = find(w, name)) ui::setTextOf(box, ui::fromBytes(text));
}
// The control's text exactly as held, as bytes (a multi-line box keeps its CR LF).
template <class Window>
std::string text(const Window& w, const QString& name) {
  QWidget* control = find(w, name);
  return control ? ui::toBytes(ui::textOf(control)) : std::string();
}
template <class Window>
bool enabled(const Window& w, const QString& name) {
  QWidget* control = find(w, name);
  return control && control->isEnabled();
}
// Shown as the operator would see it once the window is shown.
template <class Window>
bool visible(const Window& w, const QString& name) {
  QWidget* control = find(w, name);
  return control && control->isVisibleTo(control->window());
}

}  // namespace testing_support
