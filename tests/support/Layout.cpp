#include "Layout.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>

namespace testing_support {

namespace {

// Twips rounded to pixels may leave a pixel of overlap or a line's leading short: not a fault.
constexpr int kSlack = 2;

std::string nameOf(const QWidget* w) { return w->objectName().toStdString(); }

// Two controls cover each other by more than rounding, and neither is a control drawn inside a
// frame that lies under it.
bool overlap(const QWidget* a, const QWidget* b) {
  const QRect both = a->geometry().intersected(b->geometry());
  if (both.width() <= kSlack || both.height() <= kSlack) return false;
  auto onFrame = [](const QWidget* frame, const QWidget* control) {
    return qobject_cast<const QGroupBox*>(frame) && frame->geometry().contains(control->geometry());
  };
  return !onFrame(a, b) && !onFrame(b, a);
}

// The room a caption needs in `control`, wrapped as the control wraps it.
bool captionFits(const QWidget* control) {
  const QFontMetrics metrics(control->font());
  if (auto* label = qobject_cast<const QLabel*>(control)) {
    const QRect needed =
        metrics.boundingRect(QRect(0, 0, label->width(), 100000), Qt::TextWordWrap, label->text());
    return needed.width() <= label->width() && needed.height() <= label->height() + kSlack;
  }
  if (auto* option = qobject_cast<const QRadioButton*>(control))
    return option->sizeHint().width() <= option->width();
  if (auto* button = qobject_cast<const QPushButton*>(control)) {
    QStyleOptionButton style;
    style.initFrom(button);
    const QRect area =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &style, button);
    QString caption = button->text();  // the mnemonic's '&' is not drawn
    caption.replace(QRegularExpression("&(.)"), "\\1");
    const QRect needed = metrics.boundingRect(QRect(0, 0, area.width() - 2, 100000),
                                              Qt::TextWordWrap, caption);
    return needed.width() <= area.width() - 2 && needed.height() <= area.height() + kSlack;
  }
  if (auto* frame = qobject_cast<const QGroupBox*>(control))
    return metrics.horizontalAdvance(frame->title()) + 16 <= frame->width();
  return true;
}

}  // namespace

std::vector<std::string> layoutProblems(
    const QWidget* window, const std::set<std::pair<std::string, std::string>>& overlapsByDesign) {
  std::vector<std::string> problems;
  const auto controls = window->findChildren<QWidget*>();
  for (const QWidget* control : controls) {
    // A hidden control keeps whatever place it last had: only what is shown is judged.
    if (control->objectName().isEmpty() || control->isWindow() || !control->isVisibleTo(window))
      continue;
    const QWidget* container = control->parentWidget();
    if (container != window && !qobject_cast<const QGroupBox*>(container)) continue;
    if (!captionFits(control)) problems.push_back(nameOf(control) + ": caption cut");
    if (!container->rect().contains(control->geometry()))
      problems.push_back(nameOf(control) + ": outside " + nameOf(container));
    for (const QWidget* other : controls) {
      if (other <= control || other->parentWidget() != container ||
          other->objectName().isEmpty() || !other->isVisibleTo(window))
        continue;
      if (!overlap(control, other)) continue;
      const std::string a = nameOf(control), b = nameOf(other);
      if (!overlapsByDesign.count({a, b}) && !overlapsByDesign.count({b, a}))
        problems.push_back(std::min(a, b) + " overlaps " + std::max(a, b));
    }
  }
  return problems;
}

}  // namespace testing_support
