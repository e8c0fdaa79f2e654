// SPDX-License-Identifier: GPL-3.0-or-later
#include "AnchorLayout.h"

#include <QWidget>

namespace kestrun {

namespace {

// The design keeps controls this far from the window's and the pages' edges.
constexpr int EdgeMargin = 8;

} // namespace

TAnchorLayout::TAnchorLayout(QWidget* parent, QSize designSize) : QLayout(parent), FDesignSize(designSize)
{
    setContentsMargins(0, 0, 0, 0);
}

TAnchorLayout::~TAnchorLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void TAnchorLayout::Add(QWidget* widget, QRect place, TAnchor anchor)
{
    addChildWidget(widget);
    FItems.append({new QWidgetItem(widget), place, anchor});
    invalidate();
}

void TAnchorLayout::addItem(QLayoutItem* item)
{
    FItems.append({item, item->geometry(), TAnchor::aFixed});
}

QLayoutItem* TAnchorLayout::itemAt(int index) const
{
    return index >= 0 && index < FItems.size() ? FItems[index].Item : nullptr;
}

QLayoutItem* TAnchorLayout::takeAt(int index)
{
    if (index < 0 || index >= FItems.size())
        return nullptr;
    return FItems.takeAt(index).Item;
}

int TAnchorLayout::count() const { return int(FItems.size()); }

QSize TAnchorLayout::sizeHint() const { return FDesignSize; }

QSize TAnchorLayout::minimumSize() const
{
    // The smallest parent that still holds every control whole: fixed controls with the design's
    // margin beyond them, stretching ones at their own minimum size.
    QSize least(0, 0);
    for (const TPlaced& placed : FItems) {
        const QRect& r = placed.Place;
        const QSize own = placed.Item->minimumSize();
        QSize needed(r.right() + 1 + EdgeMargin, r.bottom() + 1 + EdgeMargin);
        switch (placed.Anchor) {
        case TAnchor::aFixed:
            break;
        case TAnchor::aStretchBoth:
            needed.setHeight(FDesignSize.height() - r.height() + own.height());
            [[fallthrough]];
        case TAnchor::aStretchRight:
            needed.setWidth(FDesignSize.width() - r.width() + own.width());
            break;
        case TAnchor::aKeepRight:
            needed.setWidth(FDesignSize.width() - r.left());
            break;
        }
        least = least.expandedTo(needed);
    }
    return least;
}

void TAnchorLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const int dx = rect.width() - FDesignSize.width();
    const int dy = rect.height() - FDesignSize.height();
    for (const TPlaced& placed : FItems) {
        QRect r = placed.Place;
        switch (placed.Anchor) {
        case TAnchor::aFixed:
            break;
        case TAnchor::aStretchRight:
            r.setWidth(qMax(0, r.width() + dx));
            break;
        case TAnchor::aStretchBoth:
            r.setWidth(qMax(0, r.width() + dx));
            r.setHeight(qMax(0, r.height() + dy));
            break;
        case TAnchor::aKeepRight:
            r.moveLeft(r.left() + dx);
            break;
        }
        // A widget gets its place as designed; the item would shrink it to a fixed size hint.
        if (QWidget* widget = placed.Item->widget())
            widget->setGeometry(r.translated(rect.topLeft()));
        else
            placed.Item->setGeometry(r.translated(rect.topLeft()));
    }
}

} // namespace kestrun
