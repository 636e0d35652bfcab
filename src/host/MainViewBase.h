// MainViewBase: the drawing half of the player's window. It owns the back
// buffer, the application's picture at its own size (800 x 480, or 480 x 800
// in portrait), runs the application's draw method into it and shows it in the
// window: scaled to fit or by a whole factor, with bars where the shapes
// differ, and turned in rotated-portrait mode.
#pragma once

#include "vm/FrameworkServices.h"

#include <QPixmap>
#include <QWidget>

namespace mcb {

class MainViewBase : public QWidget, public FrameworkServices {
    Q_OBJECT
public:
    MainViewBase();

    void repaintRect(TInt32 x, TInt32 y, TInt32 width, TInt32 height) override;
    // Orientation 1 requested in a window wider than high: the host turns the picture.
    virtual bool isRotatedPortrait() const = 0;
    const QPixmap& buffer() const { return backBuffer; }

    // Rotated-portrait geometry for a picture shown `shownHeight` high: the
    // shown rectangle of a rectangle of the application's picture, and back.
    static QRect applicationToWidget(const QRect& r, int shownHeight);
    static QRect widgetToApplication(const QRect& r, int shownHeight);

    // `factor` 0 fits the picture to the window; N draws it N times its size
    // (or at the largest whole factor that fits). `smooth` filters when scaling.
    void setPresentation(int factor, bool smooth);
    int scaleFactor() const { return factor_; }
    // The picture as it is shown before scaling: the back buffer, turned in
    // rotated-portrait mode; and where it is placed in the window.
    QSize shownSize() const;
    QRectF placement() const;

    // Stepped frames: repaint requests are collected, and the application draws
    // only when drawRequestedFrame() says so; paint events then only show the
    // back buffer.
    void setSteppedFrames(bool stepped) { stepped_ = stepped; }
    bool steppedFrames() const { return stepped_; }
    // Draws what was asked for since the last frame (nothing when nothing was).
    void drawRequestedFrame();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    // The orientation the application asked for (1 portrait, 2 landscape).
    virtual TInt32 requestedOrientation() const = 0;
    // Called after each time the application has drawn into the back buffer.
    virtual void frameDrawn() {}
    // Gives the back buffer the size of the application's picture.
    void fitBackBuffer();
    // The whole picture is to be drawn again.
    void requestWholePicture();

private:
    void drawApplication(const QRegion& region);
    void present(const QRegion& windowRegion);
    // Repaints the window where it shows `shown` (coordinates of the shown picture).
    void updateShown(const QRect& shown);
    QRegion applicationRegion(const QRegion& windowRegion) const;

    QPixmap backBuffer;
    bool refitAfterPaint = false;
    int factor_ = 0;
    bool smooth_ = false;
    bool stepped_ = false;
    QRegion requested_;  // stepped frames: application coordinates
};

}  // namespace mcb
