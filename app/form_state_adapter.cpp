#include "app/form_state_adapter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QWindow>
#include <algorithm>

namespace {

// The window's own order of its stateful controls: the top strip, the keys
// page, then the numbers page column by column.
const char* const kLayoutOrder[] = {"cb1",   "xCon",  "e1",    "NumE1", "NumE2", "NumE3", "NumE4",
                                    "NumE5", "NumE6", "Call1", "Call2", "Call3", "Call4", "Call5",
                                    "Call6", "H241",  "H242",  "H243",  "H244",  "H245",  "H246"};

int LayoutRank(const QString& name) {
  const auto* end = std::end(kLayoutOrder);
  const auto* at = std::find(std::begin(kLayoutOrder), end, name.toStdString());
  return static_cast<int>(at - std::begin(kLayoutOrder));
}

class WidgetComponent : public FormComponent {
 public:
  WidgetComponent(QWidget* widget, ComponentKind kind) : widget_(widget), kind_(kind) {}

  std::string Name() const override { return widget_->objectName().toStdString(); }
  ComponentKind Kind() const override { return kind_; }
  int Tag() const override { return widget_->property("tag").toInt(); }

  std::string Text() const override {
    if (auto* edit = qobject_cast<QLineEdit*>(widget_)) return edit->text().toStdString();
    if (auto* combo = qobject_cast<QComboBox*>(widget_)) return combo->currentText().toStdString();
    return {};
  }
  // The store speaks UTF-8, as QString converts.
  void SetText(const std::string& text) override {
    if (auto* edit = qobject_cast<QLineEdit*>(widget_)) edit->setText(QString::fromStdString(text));
    if (auto* combo = qobject_cast<QComboBox*>(widget_))
      combo->setEditText(QString::fromStdString(text));
  }
  bool Checked() const override {
    auto* button = qobject_cast<QAbstractButton*>(widget_);
    return button && button->isChecked();
  }
  // A change of state emits toggled, which runs the box's click handler; the
  // same state emits nothing.
  void SetChecked(bool checked) override {
    if (auto* button = qobject_cast<QAbstractButton*>(widget_)) button->setChecked(checked);
  }

 private:
  QWidget* widget_;
  ComponentKind kind_;
};

ComponentKind KindOf(QWidget* widget) {
  if (qobject_cast<QLineEdit*>(widget)) return ComponentKind::kEdit;
  if (qobject_cast<QComboBox*>(widget)) return ComponentKind::kComboBox;
  if (qobject_cast<QCheckBox*>(widget)) return ComponentKind::kCheckBox;
  if (qobject_cast<QRadioButton*>(widget)) return ComponentKind::kRadioButton;
  return ComponentKind::kOther;
}

}  // namespace

namespace {

constexpr const char* kLastFrame = "lastFrame";

// Asked of the platform window itself: the widget's own copy of the frame is
// brought up to date only by the next move or resize.
QMargins LiveFrameMargins(const QWidget& window) {
  const QWindow* handle = window.windowHandle();
  return handle && window.isVisible() ? handle->frameMargins() : QMargins();
}

}  // namespace

QMargins FrameMargins(const QWidget& window) {
  const QMargins live = LiveFrameMargins(window);
  return live.isNull() ? window.property(kLastFrame).value<QMargins>() : live;
}

void RememberFrame(QWidget& window) {
  const QMargins live = LiveFrameMargins(window);
  if (!live.isNull()) window.setProperty(kLastFrame, QVariant::fromValue(live));
}

QSize FrameSize(const QWidget& window) {
  const QMargins margins = FrameMargins(window);
  return {margins.left() + margins.right(), margins.top() + margins.bottom()};
}

bool FrameKnown(const QWidget& window) {
  const QSize frame = FrameSize(window);
  return frame.width() > 0 || frame.height() > 0;
}

TFormStateAdapter::TFormStateAdapter(QWidget& window, QSize frameExtra)
    : window_(window), designed_frame_(frameExtra) {
  std::vector<QWidget*> widgets;
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    const QString name = widget->objectName();
    // The combo box's own edit and other toolkit parts carry no name of ours.
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
    if (KindOf(widget) == ComponentKind::kOther) continue;
    widgets.push_back(widget);
  }
  std::stable_sort(widgets.begin(), widgets.end(), [](QWidget* a, QWidget* b) {
    return LayoutRank(a->objectName()) < LayoutRank(b->objectName());
  });
  for (QWidget* widget : widgets)
    components_.push_back(std::make_unique<WidgetComponent>(widget, KindOf(widget)));
}

TFormStateAdapter::~TFormStateAdapter() = default;

std::string TFormStateAdapter::Name() const {
  return window_.objectName().toStdString();
}

FormBounds TFormStateAdapter::Bounds() const {
  // The platform's own frame where known: the widget's copy of it may be
  // out of date.
  const QPoint corner = FrameKnown(window_)
                            ? window_.geometry().topLeft() -
                                  QPoint(FrameMargins(window_).left(), FrameMargins(window_).top())
                            : window_.frameGeometry().topLeft();
  const QSize extra = FrameExtra();
  return {corner.x(), corner.y(), window_.height() + extra.height(),
          window_.width() + extra.width()};
}

QSize TFormStateAdapter::FrameExtra() const {
  // Until a window manager has framed the window (and on a platform that has
  // none) the frame is unknown: the designed one counts, both ways, so that a
  // saved size comes back as it was.
  return FrameKnown(window_) ? FrameSize(window_) : designed_frame_;
}

void TFormStateAdapter::SetLeft(int left) {
  window_.move(left, window_.frameGeometry().top());
}

void TFormStateAdapter::SetTop(int top) {
  window_.move(window_.frameGeometry().left(), top);
}

void TFormStateAdapter::SetHeight(int height) {
  window_.resize(window_.width(), std::max(1, height - FrameExtra().height()));
  KeepOuterSize();
}

void TFormStateAdapter::SetWidth(int width) {
  window_.resize(std::max(1, width - FrameExtra().width()), window_.height());
  KeepOuterSize();
}

void TFormStateAdapter::KeepOuterSize() {
  if (!window_.isVisible()) window_.setProperty(kRestoredOuterSize, window_.size() + FrameExtra());
}

bool TFormStateAdapter::IsMaximized() const {
  return (window_.windowState() & Qt::WindowMaximized) &&
         !(window_.windowState() & Qt::WindowMinimized);
}

void TFormStateAdapter::SetMaximized(bool maximized) {
  const Qt::WindowStates state = window_.windowState();
  window_.setWindowState(maximized ? state | Qt::WindowMaximized : state & ~Qt::WindowMaximized);
}
