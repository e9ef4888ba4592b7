#include <gtest/gtest.h>

#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "Form.h"

namespace {

// The rows of a rendered button that hold text, as runs of inked rows inside its frame.
int textLines(const QImage& image) {
  int lines = 0;
  bool inked = false, before = false;
  for (int y = 3; y < image.height() - 3; ++y, before = inked) {
    inked = false;
    for (int x = 4; x < image.width() - 4; ++x) inked = inked || qGray(image.pixel(x, y)) < 96;
    lines += inked && !before;
  }
  return lines;
}

// A caption too wide for its button wraps onto lines of its own; it is not also drawn across them
// on one line.
TEST(WrapButton, CaptionWrapsInsideTheButton) {
  ui::WrapButton button("Initialize   GPIB Bus");
  button.setFont(ui::formFont());
  button.resize(ui::twips(1095), ui::twips(855));
  EXPECT_EQ(textLines(button.grab().toImage()), 2);
  button.setText("Exit");
  EXPECT_EQ(textLines(button.grab().toImage()), 1);
}

// Which caption names a text box for a screen reader: the nearest label on its line (touching it
// counts, a few pixels over it too) or just above it, then a frame round it alone, a button to its
// right, the frame it shares, and last what the box itself says.
TEST(NameTextBoxes, TheCaptionThatBelongsToTheBox) {
  enum Near { Label, Button, Frame };
  const struct {
    const char* what;
    Near near;
    QRect caption;  // the box sits at (100, 100), 80 by 20
    const char* expected;
  } rows[] = {
      {"label to the left", Label, {20, 100, 78, 20}, "Set point"},
      {"label reaching 3 px over the box", Label, {20, 100, 84, 20}, "Set point"},
      {"label above, 3 px over its top", Label, {100, 82, 80, 21}, "Set point"},
      {"label reaching 5 px over the box", Label, {20, 100, 86, 20}, "what the box says"},
      {"label above, 5 px over its top", Label, {100, 84, 80, 22}, "what the box says"},
      {"label too far to the left", Label, {0, 100, 30, 20}, "what the box says"},
      {"label far below", Label, {100, 150, 80, 20}, "what the box says"},
      {"label on the line above, to the left", Label, {20, 60, 78, 20}, "what the box says"},
      {"button to the right", Button, {190, 100, 60, 20}, "Set point"},
      {"frame round the box alone", Frame, {50, 60, 200, 100}, "Set point"},
  };
  for (const auto& row : rows) {
    QWidget window;
    QWidget* parent = &window;
    QWidget* caption = nullptr;
    if (row.near == Frame) {
      caption = parent = new QGroupBox("Set &point", &window);
      parent->setGeometry(row.caption);
    } else if (row.near == Button) {
      caption = new QPushButton("Set &point", &window);
    } else {
      caption = new QLabel("Set &point", &window);
    }
    if (row.near != Frame) caption->setGeometry(row.caption);
    auto* box = new QLineEdit("what the box says", parent);
    box->setGeometry(parent == &window ? QRect(100, 100, 80, 20) : QRect(50, 40, 80, 20));
    ui::nameTextBoxes(&window);
    EXPECT_EQ(box->accessibleName().toStdString(), row.expected) << row.what;
  }
  QWidget window;
  auto* error = new QLineEdit(&window);
  error->setObjectName("txtError");
  ui::nameTextBoxes(&window);
  EXPECT_EQ(error->accessibleName().toStdString(), "Error");
}

}  // namespace
