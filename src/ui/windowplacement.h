#pragma once
// Where the main window goes: centred on the screen's available area (the
// desktop without its panels), the whole frame, title bar included, inside
// that area, and the window shrunk to fit but never below its minimum.
#include <QMargins>
#include <QRect>
#include <QSize>

// The frame a window manager is assumed to draw before it tells the real one:
// a title bar and thin borders.
inline constexpr QMargins kUiFrameAllowance{4, 32, 4, 4};

// The window's own geometry (without the frame) on an available area, for a
// window that would like `wanted`, cannot be smaller than `minimum` and gets
// `frame` around it. A minimum larger than the area keeps the title bar on the
// screen: the frame then starts at the area's top-left corner.
QRect Ui_PlaceWindow(const QRect& available, const QSize& wanted, const QSize& minimum, const QMargins& frame);
