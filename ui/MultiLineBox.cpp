#include "MultiLineBox.h"

namespace ui {

MultiLineBox::MultiLineBox(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // What the operator types becomes the text, with Windows line breaks like the rest.
  connect(this, &QPlainTextEdit::textChanged, this, [this] {
    if (!settingText_) text_ = toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n"));
  });
}

void MultiLineBox::setText(const QString& text) {
  text_ = text;
  QString shown = text;
  shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  settingText_ = true;
  setPlainText(shown);
  settingText_ = false;
}

}  // namespace ui
