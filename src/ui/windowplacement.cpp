#include "ui/windowplacement.h"

#include <algorithm>

QRect Ui_PlaceWindow(const QRect& available, const QSize& wanted, const QSize& minimum, const QMargins& frame) {
    const QSize room = available.size().shrunkBy(frame);
    const QSize size = wanted.boundedTo(room).expandedTo(minimum);
    const QSize outer = size.grownBy(frame);
    const int left = available.x() + std::max(0, (available.width() - outer.width()) / 2);
    const int top = available.y() + std::max(0, (available.height() - outer.height()) / 2);
    return {left + frame.left(), top + frame.top(), size.width(), size.height()};
}
