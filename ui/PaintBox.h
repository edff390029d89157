#pragma once
// A control that shows only what its paint handler draws.
#include <QPainter>
#include <QWidget>
#include <functional>

class TPaintBox : public QWidget {
public:
    explicit TPaintBox(QWidget* Parent = nullptr) : QWidget(Parent) {}

    std::function<void(QPainter& Canvas)> OnPaint;

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!OnPaint)
            return;
        QPainter canvas(this);
        OnPaint(canvas);
    }
};
