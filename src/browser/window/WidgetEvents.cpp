#include "browser/window/WidgetEvents.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace zent {
namespace {

class ClickFilter : public QObject {
 public:
  ClickFilter(QWidget* widget, std::function<void()> onClick) : QObject(widget), onClick_(std::move(onClick)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      pressed_ = true;
    } else if (event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      // A press dragged off the control and released elsewhere is no click.
      const bool inside = widget->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint());
      const bool click = pressed_ && inside;
      pressed_ = false;
      if (click && onClick_) onClick_();
    }
    return false;
  }

 private:
  std::function<void()> onClick_;
  bool pressed_ = false;
};

class GeometryFilter : public QObject {
 public:
  GeometryFilter(QObject* owner, std::function<void()> onChange) : QObject(owner), onChange_(std::move(onChange)) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    const auto type = event->type();
    if ((type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show) && onChange_) onChange_();
    return false;
  }

 private:
  std::function<void()> onChange_;
};

}  // namespace

void OnClick(QWidget* widget, std::function<void()> onClick) {
  auto* filter = new ClickFilter(widget, std::move(onClick));  // owned by the widget
  widget->installEventFilter(filter);
}

void OnGeometryChange(QObject* owner, std::initializer_list<QWidget*> widgets, std::function<void()> onChange) {
  auto* filter = new GeometryFilter(owner, std::move(onChange));  // owned by `owner`
  for (QWidget* w : widgets) w->installEventFilter(filter);
}

}  // namespace zent
