// Small hooks on a widget's events for windows that only need a callback: a click on a
// control without a click signal (an image label), and the moves and resizes of widgets a
// window must follow.
#pragma once

#include <QObject>
#include <functional>
#include <initializer_list>

class QWidget;

namespace zent {

// Calls `onClick` when the left button is pressed and released over `widget`. Owned by the
// widget.
void OnClick(QWidget* widget, std::function<void()> onClick);

// Calls `onChange` whenever one of `widgets` is moved, resized or shown. Owned by `owner`.
void OnGeometryChange(QObject* owner, std::initializer_list<QWidget*> widgets, std::function<void()> onChange);

}  // namespace zent
