#pragma once

#include <QWidget>
#include <functional>

#include "EventTable.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTimer;

namespace monitor {

// The live bus monitor: every event of the trace as it happens, filtered by layer and text,
// paused, cleared, copied, saved as a trace file.
class MonitorWindow final : public QWidget {
  Q_OBJECT
 public:
  explicit MonitorWindow(EventTable& table, QWidget* parent = nullptr);

  // Shows what arrived since the last update (the window does this a few times a second).
  void update();
  // Writes every event kept as a trace file; false with the reason shown when it cannot.
  bool saveTrace(const QString& path);
  // The selected rows, as copied to the clipboard.
  QString selectedText() const;

  // Asks the operator for a file to write (a file dialog unless replaced, as tests do).
  std::function<QString()> askSavePath;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  EventTable& table_;
  EventFilter* filter_;
  QTableView* view_;
  QCheckBox* follow_;
  QLabel* count_;
  QLabel* message_;
  QTimer* timer_;
};

}  // namespace monitor
