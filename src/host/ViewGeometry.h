// Where the application's picture goes in a window of any size, and back: the
// picture is scaled to fit (keeping its shape, with bars on two sides) or by a
// whole factor, and placed on whole device pixels.
#pragma once

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>

namespace mcb {

namespace view {

// The picture's rectangle, in the window's coordinates, for a picture of
// `picture` pixels in a window of `window` size at `dpr` device pixels per
// window unit. `factor` 0 fits the window; N draws each picture pixel N units
// wide, or at the largest whole factor that fits when N does not (at least
// fitting when not even 1 does).
QRectF placement(QSizeF window, QSize picture, int factor, qreal dpr);

// The picture pixel under a window position; false on a bar.
bool toPicture(QPointF windowPos, const QRectF& placed, QSize picture, QPoint& out);
// Like toPicture, but a position on a bar gives the nearest edge pixel.
QPoint toPictureClamped(QPointF windowPos, const QRectF& placed, QSize picture);

// The window rectangle that covers a rectangle of picture pixels (rounded out).
QRect toWindow(const QRect& pictureRect, const QRectF& placed, QSize picture);
// The picture rectangle a window rectangle shows (rounded out, clipped to the picture).
QRect toPictureRect(const QRect& windowRect, const QRectF& placed, QSize picture);

}  // namespace view

}  // namespace mcb
