#include <gtest/gtest.h>

#include <QImage>

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

}  // namespace
