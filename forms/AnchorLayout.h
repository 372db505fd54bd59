// Places widgets at fixed design positions (pixels at 96 dpi) and keeps the
// distances to the container's edges that each widget's anchors name when
// the container is resized: left+top only stays put, left+right stretches
// with the width, right without left moves sideways; the same for top and
// bottom with the height.
#pragma once

#include <QLayout>
#include <QList>
#include <QRect>

enum TAnchor : unsigned {
    akLeft = 1,
    akTop = 2,
    akRight = 4,
    akBottom = 8,
};
using TAnchors = unsigned;
inline constexpr TAnchors kDefaultAnchors = akLeft | akTop;

class TAnchorLayout : public QLayout {
public:
    // `designSize` is the container's size that the design positions refer to.
    TAnchorLayout(QWidget *container, QSize designSize);
    ~TAnchorLayout() override;

    void AddWidget(QWidget *widget, const QRect &designGeometry, TAnchors anchors = kDefaultAnchors);

    // Where a widget of the design goes in a container of the given size.
    static QRect Place(const QRect &design, TAnchors anchors, QSize designSize, QSize actualSize);

    void addItem(QLayoutItem *item) override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

private:
    struct Entry {
        QLayoutItem *Item;
        QRect Design;
        TAnchors Anchors;
    };
    QList<Entry> FEntries;
    QSize FDesignSize;
};
