// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLayout>
#include <QList>
#include <QRect>
#include <QSize>

namespace kestrun {

// How a control follows its parent when the parent is resized.
enum class TAnchor {
    aFixed,        // keeps its place
    aStretchRight, // right edge follows the parent's right edge
    aStretchBoth,  // right and bottom edges follow
    aKeepRight,    // moves with the parent's right edge, keeping its width
};

// Controls placed at fixed pixel places designed for a parent of `designSize`.
class TAnchorLayout : public QLayout
{
public:
    TAnchorLayout(QWidget* parent, QSize designSize);
    ~TAnchorLayout() override;

    void Add(QWidget* widget, QRect place, TAnchor anchor = TAnchor::aFixed);

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    struct TPlaced
    {
        QLayoutItem* Item;
        QRect Place;
        TAnchor Anchor;
    };
    QSize FDesignSize;
    QList<TPlaced> FItems;
};

} // namespace kestrun
