// The two glyph sets of the main window's commands (16 and 32 pixels, same
// subjects in the same order), the application icon and the about box's
// picture, all drawn for this program and built into it (Tessivar.qrc).
#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>

// Positions in both image lists.
enum TGlyphIndex : int {
    GlyphOpenFolder = 0,
    GlyphFloppyDisk = 1,
    GlyphPlayButton = 2,
    GlyphBlankPage = 3,
    GlyphGearWheel = 4,
    GlyphNone = -1,
};

QList<QPixmap> ImageList16();
QList<QPixmap> ImageList32();

// The glyph at `index` in both sizes (the small one for menus and toolbar,
// the large one for large-picture use); a null icon for GlyphNone.
QIcon CommandGlyph(int index);

// The application icon: 256, 48, 32, 24 and 16 pixels.
QIcon ApplicationIcon();

// The about box's 32 x 32 picture, reduced to the sixteen classic colours.
QPixmap AboutBoxPicture();
