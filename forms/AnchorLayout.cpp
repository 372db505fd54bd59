#include "forms/AnchorLayout.h"

#include <QWidget>

namespace {

// One axis: the start and length of a widget whose near and far anchors are
// given, when the container grew by `delta`.
std::pair<int, int> PlaceAxis(int start, int length, bool nearAnchor, bool farAnchor, int delta)
{
    if (nearAnchor && farAnchor)
        return {start, std::max(0, length + delta)};
    if (farAnchor)
        return {start + delta, length};
    if (!nearAnchor)  // neither: keeps its centre's relative place
        return {start + delta / 2, length};
    return {start, length};
}

}  // namespace

TAnchorLayout::TAnchorLayout(QWidget *container, QSize designSize) : QLayout(container), FDesignSize(designSize)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

TAnchorLayout::~TAnchorLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void TAnchorLayout::AddWidget(QWidget *widget, const QRect &designGeometry, TAnchors anchors)
{
    addChildWidget(widget);
    FEntries.append(Entry{new QWidgetItem(widget), designGeometry, anchors});
    invalidate();
}

QRect TAnchorLayout::Place(const QRect &design, TAnchors anchors, QSize designSize, QSize actualSize)
{
    const auto [x, width] = PlaceAxis(design.x(), design.width(), anchors & akLeft, anchors & akRight,
                                      actualSize.width() - designSize.width());
    const auto [y, height] = PlaceAxis(design.y(), design.height(), anchors & akTop, anchors & akBottom,
                                       actualSize.height() - designSize.height());
    return QRect(x, y, width, height);
}

void TAnchorLayout::addItem(QLayoutItem *item)
{
    FEntries.append(Entry{item, item->geometry(), kDefaultAnchors});
}

QLayoutItem *TAnchorLayout::itemAt(int index) const
{
    return index >= 0 && index < FEntries.size() ? FEntries[index].Item : nullptr;
}

QLayoutItem *TAnchorLayout::takeAt(int index)
{
    if (index < 0 || index >= FEntries.size())
        return nullptr;
    return FEntries.takeAt(index).Item;
}

int TAnchorLayout::count() const
{
    return int(FEntries.size());
}

QSize TAnchorLayout::sizeHint() const
{
    return FDesignSize;
}

// No minimum size: the window may be made as small as the user likes.
QSize TAnchorLayout::minimumSize() const
{
    return QSize(0, 0);
}

// Positions count from the container's own top-left corner, not from inside
// its frame or title (a group box's children stand in the box's coordinates).
void TAnchorLayout::setGeometry(const QRect &given)
{
    QLayout::setGeometry(given);
    const QRect rect = parentWidget() ? parentWidget()->rect() : given;
    // Straight to the widgets: a layout item would bend the design sizes to
    // the widgets' size hints.
    for (const Entry &entry : FEntries) {
        const QRect place = Place(entry.Design, entry.Anchors, FDesignSize, rect.size()).translated(rect.topLeft());
        if (QWidget *widget = entry.Item->widget())
            widget->setGeometry(place);
        else
            entry.Item->setGeometry(place);
    }
}
