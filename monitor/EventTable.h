#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QString>
#include <cstdint>
#include <deque>
#include <vector>

#include "Trace.h"

namespace monitor {

// The bus monitor's table: the newest events of the trace, bounded, with each Modbus frame
// decoded and placed under the GPIB line that caused it (in the trace the frames come first, as
// the converter carries the line out while it is being sent). Events are collected as they
// happen and shown at the next flush(), so a burst costs one insertion; while paused they are
// only collected.
class EventTable final : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { Time, Layer, Text, Decoded, ColumnCount };
  static constexpr std::size_t kCapacity = 100000;

  explicit EventTable(std::size_t capacity = kCapacity, QObject* parent = nullptr);

  // How many of the newest events are kept; the oldest beyond it are dropped now.
  void setCapacity(std::size_t capacity);
  std::size_t capacity() const { return capacity_; }

  void add(const trace::Event& event);
  // Shows what was collected since the last flush (nothing while paused).
  void flush();
  void setPaused(bool paused);
  bool paused() const { return paused_; }
  void clear();

  // Events dropped, oldest first, to keep the newest `capacity`.
  std::uint64_t dropped() const { return dropped_; }
  std::size_t collected() const { return rows_.size() + incoming_.size() + held_.size(); }
  const trace::Event& event(int row) const { return rows_.at(static_cast<std::size_t>(row)).event; }
  QString decoded(int row) const { return decoded(rows_.at(static_cast<std::size_t>(row))); }

  // Every event kept, shown or not, in the order the trace wrote them, as a trace file.
  std::string traceText() const;
  // The given rows as trace lines, with the decoded frames after a tab.
  QString linesOf(const std::vector<int>& rows) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  struct Row {
    trace::Event event;
    std::uint64_t order;  // in the trace
    std::uint64_t group;  // one GPIB line and all it caused
  };
  // A Modbus frame in words, made when shown: a hundred thousand rows keep only their bytes.
  static QString decoded(const Row& row);
  void take(Row row);
  void releaseHeld();

  std::size_t capacity_;
  std::deque<Row> rows_;
  std::deque<Row> incoming_;
  std::vector<Row> held_;  // frames waiting for the line that caused them
  bool awaitingLine_ = false;
  bool paused_ = false;
  std::uint64_t order_ = 0;
  std::uint64_t group_ = 0;
  std::uint64_t dropped_ = 0;
};

// Rows of the chosen layers whose event or decoding holds the text (any case).
class EventFilter final : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void setLayerShown(trace::Layer layer, bool shown);
  void setText(const QString& text);

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override;

 private:
  unsigned hidden_ = 0;  // a bit per layer
  QString text_;
};

const char* layerName(trace::Layer layer);

}  // namespace monitor
