#include "EventTable.h"

#include <QBrush>
#include <QColor>
#include <algorithm>

#include "FrameText.h"

namespace monitor {

const char* layerName(trace::Layer layer) {
  switch (layer) {
    case trace::Layer::GpibCall:
      return "GPIB call";
    case trace::Layer::GpibData:
      return "GPIB data";
    case trace::Layer::Modbus:
      return "Modbus";
    case trace::Layer::Console:
      return "console";
    case trace::Layer::Sim:
      return "simulator";
  }
  return "";
}

EventTable::EventTable(std::size_t capacity, QObject* parent)
    : QAbstractTableModel(parent), capacity_(std::max<std::size_t>(capacity, 1)) {}

QString EventTable::decoded(const Row& row) {
  const trace::Event& e = row.event;
  if (e.layer() != trace::Layer::Modbus) return {};
  const bool response = e.kind == trace::Kind::Response;
  return QString::fromStdString(modbus::describeFrame(e.frame, response ? &e.request : nullptr));
}

void EventTable::setCapacity(std::size_t capacity) {
  capacity_ = std::max<std::size_t>(capacity, 1);
  while (incoming_.size() > capacity_) {
    incoming_.pop_front();
    ++dropped_;
  }
  flush();
}

void EventTable::add(const trace::Event& event) {
  Row row{event, order_++, group_};
  if (event.layer() == trace::Layer::Modbus) {
    held_.push_back(std::move(row));
    return;
  }
  if (event.kind == trace::Kind::Call && event.call.routine == bus::Routine::Send) {
    // A new line to a device: it and the frames it caused form the next group.
    row.group = ++group_;
    for (Row& frame : held_) frame.group = group_;
    take(std::move(row));
    awaitingLine_ = true;
    return;
  }
  if (awaitingLine_ && event.layer() == trace::Layer::GpibData) {
    awaitingLine_ = false;
    take(std::move(row));
    releaseHeld();
    return;
  }
  awaitingLine_ = false;
  releaseHeld();
  take(std::move(row));
}

void EventTable::releaseHeld() {
  for (Row& frame : held_) take(std::move(frame));
  held_.clear();
}

void EventTable::take(Row row) {
  incoming_.push_back(std::move(row));
  // While paused the table does not grow, but what is collected stays bounded too.
  if (incoming_.size() > capacity_) {
    incoming_.pop_front();
    ++dropped_;
  }
}

void EventTable::flush() {
  if (paused_ || incoming_.empty()) return;
  const std::size_t total = rows_.size() + incoming_.size();
  if (total > capacity_) {
    const std::size_t drop = std::min(rows_.size(), total - capacity_);
    if (drop > 0) {
      beginRemoveRows({}, 0, static_cast<int>(drop) - 1);
      rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(drop));
      endRemoveRows();
      dropped_ += drop;
    }
  }
  const int first = static_cast<int>(rows_.size());
  beginInsertRows({}, first, first + static_cast<int>(incoming_.size()) - 1);
  std::move(incoming_.begin(), incoming_.end(), std::back_inserter(rows_));
  incoming_.clear();
  endInsertRows();
}

void EventTable::setPaused(bool paused) {
  paused_ = paused;
  flush();
}

void EventTable::clear() {
  beginResetModel();
  rows_.clear();
  incoming_.clear();
  held_.clear();
  endResetModel();
}

std::string EventTable::traceText() const {
  std::vector<const Row*> all;
  all.reserve(collected());
  for (const auto* list : {&rows_, &incoming_})
    for (const Row& row : *list) all.push_back(&row);
  for (const Row& row : held_) all.push_back(&row);
  std::sort(all.begin(), all.end(), [](const Row* a, const Row* b) { return a->order < b->order; });
  std::string text = std::string(trace::kTraceHeader) + '\n';
  for (const Row* row : all) text += trace::traceLine(row->event) + '\n';
  return text;
}

QString EventTable::linesOf(const std::vector<int>& rows) const {
  QString text;
  for (int r : rows) {
    if (r < 0 || r >= rowCount()) continue;
    const Row& row = rows_[static_cast<std::size_t>(r)];
    text += QString::fromStdString(trace::traceLine(row.event));
    if (const QString words = decoded(row); !words.isEmpty()) text += '\t' + words;
    text += '\n';
  }
  return text;
}

int EventTable::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int EventTable::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant EventTable::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const Row& row = rows_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      switch (index.column()) {
        case Time:
          return QString::number(row.event.ms);
        case Layer:
          return QString(layerName(row.event.layer()));
        case Text:
          return QString::fromStdString(trace::eventText(row.event));
        case Decoded:
          return decoded(row);
        default:
          return {};
      }
    case Qt::ForegroundRole:
      return row.event.error() ? QBrush(QColor(170, 0, 0)) : QVariant();
    case Qt::BackgroundRole:
      // Errors stand out; otherwise each line and all it caused share a shade.
      if (row.event.error()) return QBrush(QColor(255, 215, 215));
      return row.group % 2 ? QBrush(QColor(236, 242, 250)) : QVariant();
    case Qt::TextAlignmentRole:
      return index.column() == Time ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    default:
      return {};
  }
}

QVariant EventTable::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const names[] = {"ms", "Layer", "Event", "Decoded"};
  return section >= 0 && section < ColumnCount ? QString(names[section]) : QVariant();
}

void EventFilter::setLayerShown(trace::Layer layer, bool shown) {
  const unsigned bit = 1u << static_cast<unsigned>(layer);
  hidden_ = shown ? hidden_ & ~bit : hidden_ | bit;
  invalidateRowsFilter();
}

void EventFilter::setText(const QString& text) {
  text_ = text;
  invalidateRowsFilter();
}

bool EventFilter::filterAcceptsRow(int row, const QModelIndex&) const {
  const auto* table = static_cast<const EventTable*>(sourceModel());
  const trace::Event& event = table->event(row);
  if (hidden_ & (1u << static_cast<unsigned>(event.layer()))) return false;
  if (text_.isEmpty()) return true;
  if (QString::fromStdString(trace::eventText(event)).contains(text_, Qt::CaseInsensitive))
    return true;
  return table->decoded(row).contains(text_, Qt::CaseInsensitive);
}

}  // namespace monitor
