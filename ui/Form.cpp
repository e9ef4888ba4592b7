#include "Form.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <cmath>
#include <optional>

#include "MultiLineBox.h"

namespace ui {

int twips(int value) {
  double dpi = 96.0;
  if (auto* screen = QGuiApplication::primaryScreen()) dpi = screen->logicalDotsPerInch();
  if (dpi < 48) dpi = 96.0;  // a headless screen may report nonsense
  return static_cast<int>(std::lround(value / 15.0 * dpi / 96.0));
}

QFont formFont(double points) {
  QFont font;
  font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial",
                    "Nimbus Sans", "DejaVu Sans"});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setBold(true);
  return font;
}

QSize WrapButton::sizeHint() const { return size(); }

void WrapButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  painter.drawControl(QStyle::CE_PushButton, option);
  const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
  style()->drawItemText(&painter, area.adjusted(1, 0, -1, 0), Qt::AlignCenter | Qt::TextWordWrap,
                        palette(), isEnabled(), text(), QPalette::ButtonText);
}

OptionButton::OptionButton(const QString& caption, int index, QWidget* parent)
    : QRadioButton(caption, parent), index_(index) {
  connect(this, &QRadioButton::toggled, this, [this](bool on) {
    if (on) emit selected(index_);
  });
}

void OptionButton::select() {
  if (!isChecked()) setChecked(true);
}

void OptionButton::deselect() {
  if (!isChecked()) return;
  const bool exclusive = group_ && group_->exclusive();
  if (exclusive) group_->setExclusive(false);
  setChecked(false);
  if (exclusive) group_->setExclusive(true);
}

namespace {
// A one-line label whose caption is wider in this font than in the original one grows to the
// right rather than lose the end of its caption.
void fitLabel(QLabel* label) {
  const QFontMetrics metrics(label->font());
  if (label->height() >= 2 * metrics.height()) return;
  const int needed = metrics.horizontalAdvance(label->text()) + 4;
  if (needed > label->width()) label->resize(needed, label->height());
}
}  // namespace

QHash<QString, QWidget*> buildControls(QWidget* window, std::span<const ControlSpec> table) {
  QHash<QString, QWidget*> controls;
  QHash<QWidget*, QButtonGroup*> groups;
  for (const ControlSpec& entry : table) {
    QWidget* parent = entry.container ? controls.value(entry.container, window) : window;
    const QString caption = QString::fromLatin1(entry.caption ? entry.caption : "");
    QWidget* control = nullptr;
    switch (entry.kind) {
      case Kind::Label: {
        auto* label = new QLabel(caption, parent);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        control = label;
        break;
      }
      case Kind::Button:
        control = new WrapButton(caption, parent);
        break;
      case Kind::TextBox: {
        auto* box = new QLineEdit(parent);
        box->setMaxLength(65535);
        box->setText(caption);
        control = box;
        break;
      }
      case Kind::MultiLineTextBox:
        control = new MultiLineBox(parent);
        break;
      case Kind::Frame: {
        auto* frame = new QGroupBox(caption, parent);
        control = frame;
        break;
      }
      case Kind::Option: {
        auto* option = new OptionButton(caption, entry.index, parent);
        QButtonGroup*& group = groups[parent];
        if (!group) {
          group = new QButtonGroup(parent);
          group->setExclusive(true);
        }
        group->addButton(option);
        option->setGroup(group);
        control = option;
        controls.insert(QStringLiteral("%1(%2)").arg(entry.name).arg(entry.index), control);
        break;
      }
    }
    control->setObjectName(QString::fromLatin1(entry.name));
    control->setFont(formFont());
    control->setGeometry(twips(entry.left), twips(entry.top), twips(entry.width), twips(entry.height));
    if (entry.kind == Kind::Label) fitLabel(static_cast<QLabel*>(control));
    if (!controls.contains(entry.name)) controls.insert(entry.name, control);
  }
  nameTextBoxes(window);
  return controls;
}

QString textOf(const QWidget* control) {
  if (auto* box = qobject_cast<const QLineEdit*>(control)) return box->text();
  if (auto* box = qobject_cast<const MultiLineBox*>(control)) return box->text();
  if (auto* label = qobject_cast<const QLabel*>(control)) return label->text();
  if (auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
  if (auto* frame = qobject_cast<const QGroupBox*>(control)) return frame->title();
  return {};
}

void setTextOf(QWidget* control, const QString& text) {
  if (auto* box = qobject_cast<QLineEdit*>(control)) return box->setText(text);
  if (auto* box = qobject_cast<MultiLineBox*>(control)) return box->setText(text);
  if (auto* label = qobject_cast<QLabel*>(control)) return label->setText(text);
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->setText(text);
}

QString fromBytes(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toBytes(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

namespace {
QPalette::ColorRole roleOf(const QWidget* control) {
  if (qobject_cast<const QAbstractButton*>(control)) return QPalette::Button;
  if (qobject_cast<const QLineEdit*>(control) || qobject_cast<const QPlainTextEdit*>(control))
    return QPalette::Base;
  return QPalette::Window;
}
}  // namespace

void setBackground(QWidget* control, const QColor& colour) {
  QPalette palette = control->palette();
  palette.setColor(roleOf(control), colour);
  control->setPalette(palette);
  if (roleOf(control) == QPalette::Window) control->setAutoFillBackground(true);
}

QColor background(const QWidget* control) { return control->palette().color(roleOf(control)); }

void showModal(QWidget* window) {
  window->setWindowModality(Qt::ApplicationModal);
  window->show();
  // A headless platform cannot raise windows and says so on every call.
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) window->raise();
  window->activateWindow();
}

void placeMenuBar(QWidget* window, QMenuBar* bar) {
  bar->setParent(window);
  const int height = bar->sizeHint().height();
  for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (child != bar && !child->isWindow()) child->move(child->x(), child->y() + height);
  const QSize client = window->size();
  window->setFixedSize(client.width(), client.height() + height);
  bar->setGeometry(0, 0, client.width(), height);
  bar->show();
}

namespace {

// How far a caption is from a box, in pixels: to its left on the same line, or just above it;
// nothing when it is neither.
std::optional<int> captionDistance(const QRect& caption, const QRect& box) {
  const bool sameLine = caption.top() < box.bottom() && caption.bottom() > box.top();
  if (sameLine && caption.right() <= box.left() + 4) return box.left() - caption.right();
  const bool overlapping = caption.left() < box.right() && caption.right() > box.left();
  if (overlapping && caption.bottom() <= box.top() + 4) return box.top() - caption.bottom();
  return std::nullopt;
}

QString plainCaption(QString text) {
  text.remove('&');
  return text.simplified();
}

}  // namespace

void nameTextBoxes(QWidget* window) {
  constexpr int kBeside = 60;  // pixels: further away a caption belongs to something else
  for (QWidget* box : window->findChildren<QWidget*>()) {
    if (!qobject_cast<QLineEdit*>(box) && !qobject_cast<QPlainTextEdit*>(box)) continue;
    // The result and error boxes say what they are, whatever label stands beside them.
    if (box->objectName().startsWith("txtResults"))
      box->setAccessibleDescription("Result box: the answer to the last command");
    if (box->objectName() == "txtError" || box->objectName() == "txtGPIBErr") {
      box->setAccessibleDescription("Error box: the last bus or Modbus error");
      box->setAccessibleName("Error");
    }
    if (!box->accessibleName().isEmpty()) continue;
    QString best;
    int bestDistance = kBeside + 1;
    for (QWidget* other : box->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      QString caption;
      if (auto* label = qobject_cast<QLabel*>(other)) caption = label->text();
      if (caption.isEmpty()) continue;
      const auto distance = captionDistance(other->geometry(), box->geometry());
      if (distance && *distance < bestDistance) bestDistance = *distance, best = caption;
    }
    auto* frame = qobject_cast<QGroupBox*>(box->parentWidget());
    const auto boxesIn = [](QWidget* parent) {
      return parent->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly).size() +
             parent->findChildren<QPlainTextEdit*>(Qt::FindDirectChildrenOnly).size();
    };
    // A frame around this box alone names it ("ModBus Address").
    if (best.isEmpty() && frame && boxesIn(frame) == 1) best = frame->title();
    if (best.isEmpty()) {
      // A button just to the right names what the box is for ("Set SetPt", "Disp Temp").
      for (auto* button : box->parentWidget()->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
        const QRect b = button->geometry(), r = box->geometry();
        const bool sameLine = b.top() < r.bottom() && b.bottom() > r.top();
        const int gap = b.left() - r.right();
        if (sameLine && gap >= 0 && gap < bestDistance) bestDistance = gap, best = button->text();
      }
    }
    if (best.isEmpty() && frame) best = frame->title();
    if (best.isEmpty() && box->objectName().startsWith("txtResults")) best = "Results";
    // Last, what the box itself says at the start ("(Separate multiple data words ...)").
    if (auto* line = qobject_cast<QLineEdit*>(box); best.isEmpty() && line) best = line->text();
    if (!best.isEmpty()) box->setAccessibleName(plainCaption(best));
  }
}

}  // namespace ui
