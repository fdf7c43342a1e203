#pragma once
// A frame view attached to a plain form of a known size, driven by real mouse and wheel events.

#include "zones/TFImageHelper2.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

class FrameView : public ::testing::Test {
protected:
    static constexpr int ViewW = 400;
    static constexpr int ViewH = 300;

    void SetUp() override {
        Form.resize(ViewW, ViewH);
        Imager.Attach(&Form, &Form);
        Form.show();
        ASSERT_EQ(Imager.ViewWidth, ViewW);
        ASSERT_EQ(Imager.ViewHeight, ViewH);
    }

    void Mouse(QEvent::Type type, Qt::MouseButton button, QPoint at,
               Qt::MouseButtons held = Qt::NoButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QMouseEvent event(type, QPointF(at), QPointF(Imager.Panel()->mapToGlobal(at)), button,
                          held | button, modifiers);
        QApplication::sendEvent(Imager.Panel(), &event);
    }
    void Press(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        Mouse(QEvent::MouseButtonPress, button, at);
    }
    void Release(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        Mouse(QEvent::MouseButtonRelease, button, at);
    }
    void Move(QPoint at, Qt::MouseButtons held = Qt::NoButton,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        Mouse(QEvent::MouseMove, Qt::NoButton, at, held, modifiers);
    }
    void DoubleClick(QPoint at) {
        Press(at);
        Release(at);
        Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, at);
        Release(at);
    }
    // The wheel is hooked on the main form, where a real wheel event over the panel ends up.
    bool Wheel(int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
               Qt::MouseButtons buttons = Qt::NoButton) {
        const QPointF at(Imager.LastPoint.X, Imager.LastPoint.Y);
        QWheelEvent event(at, Imager.Panel()->mapToGlobal(at), QPoint(), QPoint(0, delta), buttons,
                          modifiers, Qt::NoScrollPhase, false);
        event.setAccepted(false);
        QApplication::sendEvent(&Form, &event);
        return event.isAccepted();
    }

    TQuadPoints Corners(int index) { return Imager.Quad(index)->Points; }

    // The zone as the document holds it now.
    TQuadPoints StoredCorners(int index) {
        TQuadList reread;
        Imager.Config->ReadSensors(reread);
        return reread.Quad(index)->Points;
    }

    TRGB Pixel(int x, int y) const {
        const QRgb p = Imager.BackBuffer.pixel(x, y);
        return {static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
                static_cast<std::uint8_t>(qBlue(p))};
    }

    QWidget Form;
    TQuadImager Imager;
};

inline bool Near(const TFloatPoint& a, const TFloatPoint& b, double eps = 1e-3) {
    return std::abs(a.X - b.X) <= eps && std::abs(a.Y - b.Y) <= eps;
}

inline bool Near(const TQuadPoints& a, const TQuadPoints& b, double eps = 1e-3) {
    for (int i = 0; i < 4; ++i)
        if (!Near(a[i], b[i], eps))
            return false;
    return true;
}

inline void PrintTo(const TRGB& c, std::ostream* os) {
    *os << "RGB(" << int(c.R) << "," << int(c.G) << "," << int(c.B) << ")";
}
