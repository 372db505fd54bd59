#include "forms/ImageLists.h"

#include <QBitmap>
#include <QImage>

// The pictures are compiled into the static app library; a program that
// links it must register them before the first use.
static void LoadResources()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(Tessivar);
        return true;
    }();
    (void)loaded;
}

namespace {

const char *const kSubjects[] = {"folder-open", "floppy", "play", "page", "gear"};

QList<QPixmap> LoadImageList(int size)
{
    LoadResources();
    QList<QPixmap> list;
    for (const char *subject : kSubjects)
        list.append(QPixmap(QStringLiteral(":/icons/%1-%2.png").arg(QLatin1StringView(subject)).arg(size)));
    return list;
}

// The sixteen colours of the classic 4-bit palette.
QList<QRgb> SixteenColours()
{
    return {0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFFC0C0C0,
            0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};
}

}  // namespace

QList<QPixmap> ImageList16()
{
    return LoadImageList(16);
}

QList<QPixmap> ImageList32()
{
    return LoadImageList(32);
}

QIcon CommandGlyph(int index)
{
    if (index < 0 || index >= int(std::size(kSubjects)))
        return QIcon();
    QIcon icon;
    icon.addPixmap(ImageList16().at(index));
    icon.addPixmap(ImageList32().at(index));
    return icon;
}

QIcon ApplicationIcon()
{
    LoadResources();
    QIcon icon;
    for (int size : {256, 48, 32, 24, 16})
        icon.addFile(QStringLiteral(":/icons/tessivar-%1.png").arg(size), QSize(size, size));
    return icon;
}

QPixmap AboutBoxPicture()
{
    LoadResources();
    const QImage image(QStringLiteral(":/icons/torch-32.png"));
    // Colours go down to the classic palette; transparency becomes a one-bit mask.
    const QImage opaque = image.convertToFormat(QImage::Format_RGB32);
    QPixmap picture = QPixmap::fromImage(
        opaque.convertToFormat(QImage::Format_Indexed8, SixteenColours(), Qt::ThresholdDither));
    picture.setMask(QBitmap::fromImage(image.createAlphaMask(Qt::ThresholdAlphaDither)));
    return picture;
}
