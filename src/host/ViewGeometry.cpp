// Placement of the picture in the window and the mappings between the two.
#include "host/ViewGeometry.h"

#include <algorithm>
#include <cmath>

namespace mcb {

namespace view {

QRectF placement(QSizeF window, QSize picture, int factor, qreal dpr) {
    if (picture.isEmpty() || window.isEmpty()) return QRectF();
    if (dpr <= 0) dpr = 1;
    const qreal fit = std::min(window.width() / picture.width(), window.height() / picture.height());
    qreal scale = fit;
    if (factor > 0) {
        int whole = std::min(factor, int(std::floor(fit + 1e-9)));
        if (whole >= 1) scale = whole;
    }
    // Sizes and origin on whole device pixels, so that every row and column of
    // the picture lands on the same number of them.
    const qreal w = std::floor(picture.width() * scale * dpr + 1e-6) / dpr;
    const qreal h = std::floor(picture.height() * scale * dpr + 1e-6) / dpr;
    const qreal x = std::floor((window.width() - w) * dpr / 2) / dpr;
    const qreal y = std::floor((window.height() - h) * dpr / 2) / dpr;
    return QRectF(x, y, w, h);
}

bool toPicture(QPointF p, const QRectF& placed, QSize picture, QPoint& out) {
    if (placed.isEmpty()) return false;
    const qreal px = (p.x() - placed.x()) * picture.width() / placed.width();
    const qreal py = (p.y() - placed.y()) * picture.height() / placed.height();
    if (px < 0 || py < 0 || px >= picture.width() || py >= picture.height()) return false;
    out = QPoint(int(std::floor(px)), int(std::floor(py)));
    return true;
}

QPoint toPictureClamped(QPointF p, const QRectF& placed, QSize picture) {
    if (placed.isEmpty()) return QPoint();
    const qreal px = (p.x() - placed.x()) * picture.width() / placed.width();
    const qreal py = (p.y() - placed.y()) * picture.height() / placed.height();
    return QPoint(std::clamp(int(std::floor(px)), 0, picture.width() - 1),
                  std::clamp(int(std::floor(py)), 0, picture.height() - 1));
}

QRect toWindow(const QRect& r, const QRectF& placed, QSize picture) {
    if (placed.isEmpty() || picture.isEmpty()) return QRect();
    const qreal sx = placed.width() / picture.width(), sy = placed.height() / picture.height();
    const int left = int(std::floor(placed.x() + r.x() * sx + 1e-6));
    const int top = int(std::floor(placed.y() + r.y() * sy + 1e-6));
    const int right = int(std::ceil(placed.x() + (r.x() + r.width()) * sx - 1e-6));
    const int bottom = int(std::ceil(placed.y() + (r.y() + r.height()) * sy - 1e-6));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QRect toPictureRect(const QRect& r, const QRectF& placed, QSize picture) {
    if (placed.isEmpty() || picture.isEmpty()) return QRect();
    const qreal sx = picture.width() / placed.width(), sy = picture.height() / placed.height();
    const int left = int(std::floor((r.x() - placed.x()) * sx + 1e-6));
    const int top = int(std::floor((r.y() - placed.y()) * sy + 1e-6));
    const int right = int(std::ceil((r.x() + r.width() - placed.x()) * sx - 1e-6));
    const int bottom = int(std::ceil((r.y() + r.height() - placed.y()) * sy - 1e-6));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)) & QRect(QPoint(0, 0), picture);
}

}  // namespace view

}  // namespace mcb
