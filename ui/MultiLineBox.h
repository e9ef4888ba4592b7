#pragma once

#include <QPlainTextEdit>
#include <QString>

namespace ui {

// A multi-line text box that gives back exactly the text it was given, line breaks (CR LF)
// and all, while showing it line by line.
class MultiLineBox final : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit MultiLineBox(QWidget* parent = nullptr);
  QString text() const { return text_; }
  void setText(const QString& text);
  void clear() { setText(QString()); }

 private:
  QString text_;
  bool settingText_ = false;
};

}  // namespace ui
