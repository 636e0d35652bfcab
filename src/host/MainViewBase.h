// MainViewBase: the drawing half of the player's window. It owns the back
// buffer, runs the application's draw method on every paint and copies the
// buffer to the screen, rotating it in rotated-portrait mode.
#pragma once

#include "vm/FrameworkServices.h"

#include <QPixmap>
#include <QWidget>

class MainViewBase : public QWidget, public FrameworkServices {
    Q_OBJECT
public:
    MainViewBase();

    void repaintRect(TInt32 x, TInt32 y, TInt32 width, TInt32 height) override;
    // Orientation 1 requested in a window wider than high: the host turns the picture.
    virtual bool isRotatedPortrait() const = 0;
    const QPixmap& buffer() const { return backBuffer; }

    // Rotated-portrait geometry for a widget `widgetHeight` high: the widget
    // rectangle that shows a rectangle of the application's picture, and back.
    static QRect applicationToWidget(const QRect& r, int widgetHeight);
    static QRect widgetToApplication(const QRect& r, int widgetHeight);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    // The orientation the application asked for (1 portrait, 2 landscape).
    virtual TInt32 requestedOrientation() const = 0;
    // Gives the back buffer the size of the application's picture: the
    // widget's, or the widget's turned in rotated-portrait mode.
    void fitBackBuffer();

private:
    void drawApplication(const QRegion& region);

    QPixmap backBuffer;
    bool refitAfterPaint = false;
};
