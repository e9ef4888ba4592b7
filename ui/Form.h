#pragma once

#include <QColor>
#include <QHash>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QWidget>
#include <span>
#include <string>

class QButtonGroup;
class QMenuBar;
class QPlainTextEdit;

namespace ui {

// Positions and sizes are given in twips: 15 to a pixel at 96 dpi, scaled with the screen.
int twips(int value);

// The windows' font: MS Sans Serif where it exists, else a bold sans-serif of the same size.
QFont formFont(double points = 9.75);

enum class Kind { Label, Button, TextBox, MultiLineTextBox, Frame, Option };

// One control of a window, as the window's table lists it. `container` names the frame the
// control lies in (nullptr: the window itself); positions are relative to that container.
// Option buttons carry their element number in `index`; options in one container exclude
// each other.
struct ControlSpec {
  const char* name;
  Kind kind;
  const char* caption;
  int left, top, width, height;
  const char* container = nullptr;
  int index = 0;
};

// A push button whose caption wraps inside the button, as the operator's captions expect.
class WrapButton final : public QPushButton {
  Q_OBJECT
 public:
  using QPushButton::QPushButton;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// An option button of a control array. Becoming selected, by a click or by code, emits
// selected(index) at once, inside whatever selected it; selecting it again emits nothing.
class OptionButton final : public QRadioButton {
  Q_OBJECT
 public:
  OptionButton(const QString& caption, int index, QWidget* parent);
  int index() const { return index_; }
  void setGroup(QButtonGroup* group) { group_ = group; }
  // Selects the option (its handler runs now when it was not selected).
  void select();
  // Clears the selection without running anything; the group may end with none selected.
  void deselect();

 signals:
  void selected(int index);

 private:
  int index_;
  QButtonGroup* group_ = nullptr;
};

// Builds the controls of `window` from its table. Returns them by name; option buttons of an
// array are also found as "NAME(INDEX)".
QHash<QString, QWidget*> buildControls(QWidget* window, std::span<const ControlSpec> table);

// A control of a table-built window by name, as the type the window holds it.
template <typename T>
T* controlOf(const QHash<QString, QWidget*>& controls, const char* name) {
  auto* control = qobject_cast<T*>(controls.value(QString::fromLatin1(name)));
  Q_ASSERT(control);
  return control;
}

// Text of any text box or label exactly as held (a multi-line box keeps its CR LF).
QString textOf(const QWidget* control);
void setTextOf(QWidget* control, const QString& text);

// The console handles bytes: the wire's bytes show one for one (Latin-1), never dropped.
QString fromBytes(const std::string& bytes);
std::string toBytes(const QString& text);

// Background colour of a control (buttons: the button face; text boxes: the text area).
void setBackground(QWidget* control, const QColor& colour);
QColor background(const QWidget* control);

// Shows `window` modally without blocking the caller: the other windows take no input until
// it is hidden, and their timers keep running.
void showModal(QWidget* window);

// Gives every text box of a table-built window that has no accessible name the caption of the
// label beside it (to its left on the same line, else just above), else of the nearest button
// beside it, else of the frame it lies in, so that a screen reader names each box as the
// operator sees it.
void nameTextBoxes(QWidget* window);

// Puts a menu bar above a table-built window's client area: every control keeps its place
// relative to the others and the window grows by the bar's height. Fill the bar first.
void placeMenuBar(QWidget* window, QMenuBar* bar);

}  // namespace ui
