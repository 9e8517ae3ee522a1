#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPixmap>

// The board's artwork, drawn by the program itself. Every picture has exactly
// the size, in device-independent pixels, that the board's geometry expects;
// at a device pixel ratio above 1 it holds that many more pixels, so digits
// stay sharp on a scaled screen.
//
// The render* functions paint a fresh picture each call; the accessors below
// them paint each picture the first time it is asked for, at the screens'
// device pixel ratio, and hand out the cached pixmap after. All of them need
// a QGuiApplication (fonts) and run on the user-interface thread.
class BoardArt
{
public:
    static constexpr int NumCount = 37;        // imagelist_nums: 0 blank, 1–36 digits
    static constexpr int HighliteCount = 2;    // imagelist_highlite: plain, highlighted
    static constexpr int LittleNumCount = 10;  // imagelist_littlenums: 0 blank, 1–9 marks
    static constexpr QSize NumSize{43, 43};
    static constexpr QSize HighliteSize{149, 150};
    static constexpr QSize LittleNumSize{13, 13};
    static constexpr QSize GridSize{458, 455};       // Image1
    static constexpr QSize NumberStripSize{58, 171}; // image_select
    static constexpr QSize PencilStripSize{32, 174}; // image_pencil
    // Where the board's paint box lies inside the grid picture: the paint box
    // sits at (5,5) in panel_grid and the picture at (1,1).
    static constexpr QPoint BoardInGrid{4, 4};

    // Colours of the cell digits by value: 1–9 entered, 10–18 given,
    // 19–27 another player's, 28–36 confirmed.
    static QColor digitColour(int value);
    static QColor maroon() { return QColor(128, 0, 0); }
    static QColor separator() { return QColor(128, 128, 128); }
    static QColor littleDigit() { return QColor(104, 104, 104); }

    // One picture of a list by index; out-of-range indexes give picture 0.
    // Confirmed digits (28–36) are drawn heavier than the others.
    static QImage renderNum(int index, qreal dpr = 1.0);
    static QImage renderHighlite(int index, qreal dpr = 1.0);
    static QImage renderLittleNum(int index, qreal dpr = 1.0);
    static QImage renderGrid(qreal dpr = 1.0);
    static QImage renderNumberStrip(qreal dpr = 1.0);
    static QImage renderPencilStrip(qreal dpr = 1.0);

    // The device pixel ratio the cached pictures are painted at.
    static qreal devicePixelRatio();

    // Cached pictures, each painted on first use; a whole list is painted
    // when it is asked for.
    static const QList<QPixmap> &imagelist_nums();
    static const QList<QPixmap> &imagelist_highlite();
    static const QList<QPixmap> &imagelist_littlenums();
    static const QPixmap &gridPicture();
    static const QPixmap &numberStrip();
    static const QPixmap &pencilStrip();

    // Picture index of a list, clamped the same way as the render functions.
    static const QPixmap &num(int index);
    static const QPixmap &highlite(int index);
    static const QPixmap &littleNum(int index);
};
