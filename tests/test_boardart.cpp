#include "client/boardgeometry.h"
#include "ui/boardart.h"

#include <QtTest>

using namespace BoardGeometry;

namespace {

bool isDigitInk(QRgb px, const QColor &colour)
{
    // Anti-aliased edges blend towards white; the stroke cores carry the colour.
    return qAbs(qRed(px) - colour.red()) <= 6 && qAbs(qGreen(px) - colour.green()) <= 6
           && qAbs(qBlue(px) - colour.blue()) <= 6;
}

int countInk(const QImage &img, const QRect &area, const QColor &colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (isDigitInk(img.pixel(x, y), colour))
                ++n;
    return n;
}

} // namespace

class TestBoardArt : public QObject
{
    Q_OBJECT

private slots:
    void originTables();
    void tablesFitTogether();

    void digitPicturesHaveBorderAndColour();
    void digitPicturesDifferByDigit();
    void framesAreHollow();
    void littleDigits();
    void gridCellsSitAtTheTableOrigins();
    void gridSeparatorsAndBars();
    void numberStripButtonsStayInTheirFields();
    void pencilStripButtonsStayInTheirFields();
    void lazyPicturesMatchTheRenders();
    void cachedPicturesMatchTheRenders();
};

void TestBoardArt::originTables()
{
    const int xs[9] = {6, 54, 102, 156, 204, 251, 305, 352, 400};
    const int ys[9] = {5, 53, 101, 154, 201, 249, 302, 349, 396};
    for (int i = 1; i <= 9; ++i)
        QCOMPARE(cellOrigin(i, 10 - i), QPoint(xs[i - 1], ys[9 - i]));
    QCOMPARE(boxOrigin(2), QPoint(0, 149));
    QCOMPARE(boxOrigin(4), QPoint(150, 0));
    QCOMPARE(boxOrigin(9), QPoint(300, 298));
    // Marks 1, 5 and 9 run down the diagonal of the cell.
    QCOMPARE(pencilOffset(1), QPoint(2, 1));
    QCOMPARE(pencilOffset(5), QPoint(14, 15));
    QCOMPARE(pencilOffset(9), QPoint(27, 29));
    for (int bad : {0, -1, 10, INT_MIN, INT_MAX}) {
        QCOMPARE(cellOrigin(bad, bad), QPoint(6, 5));
        QCOMPARE(boxOrigin(bad), QPoint(0, 0));
        QCOMPARE(pencilOffset(bad), QPoint(2, 1));
        QCOMPARE(boxOf(bad, 5), 0);
    }
}

void TestBoardArt::tablesFitTogether()
{
    // Every cell lies inside the frame of its box, and every mark inside the
    // cell's border; the boxes run down each column of boxes first.
    QCOMPARE(boxOf(1, 4), 2);
    QCOMPARE(boxOf(4, 1), 4);
    for (int c = 1; c <= 9; ++c) {
        for (int r = 1; r <= 9; ++r) {
            const QRect cell(cellOrigin(c, r), QSize(CellSize, CellSize));
            const QRect frame(boxOrigin(boxOf(c, r)), QSize(FrameWidth, FrameHeight));
            QVERIFY(frame.contains(cell));
            // Clear of the 5-pixel frame border but for a one-pixel touch.
            QVERIFY(frame.adjusted(4, 4, -4, -4).contains(cell));
        }
    }
    for (int k = 1; k <= 9; ++k) {
        const QRect mark(pencilOffset(k), QSize(PencilSize, PencilSize));
        QVERIFY(QRect(1, 1, CellSize - 2, CellSize - 2).contains(mark));
    }
}

void TestBoardArt::digitPicturesHaveBorderAndColour()
{
    const QColor colours[4] = {QColor(0, 0, 0), QColor(142, 60, 60), QColor(53, 56, 173),
                               QColor(69, 161, 69)};
    for (int value = 0; value < BoardArt::NumCount; ++value) {
        const QImage img = BoardArt::renderNum(value);
        QCOMPARE(img.size(), QSize(43, 43));
        QCOMPARE(img.devicePixelRatio(), 1.0);
        for (int i = 0; i < 43; ++i) {
            QCOMPARE(img.pixel(i, 0), qRgb(0, 0, 0));
            QCOMPARE(img.pixel(i, 42), qRgb(0, 0, 0));
            QCOMPARE(img.pixel(0, i), qRgb(0, 0, 0));
            QCOMPARE(img.pixel(42, i), qRgb(0, 0, 0));
        }
        const QRect inside(1, 1, 41, 41);
        if (value == 0) {
            QCOMPARE(countInk(img, inside, Qt::white), 41 * 41);
            continue;
        }
        const QColor colour = colours[(value - 1) / 9];
        QCOMPARE(BoardArt::digitColour(value), colour);
        const int ink = countInk(img, inside, colour);
        QVERIFY2(ink >= 25, qPrintable(QStringLiteral("value %1: %2 ink pixels").arg(value).arg(ink)));
        // No other digit colour bleeds in, and the inner ring stays white so
        // the digit does not touch the border.
        for (const QColor &other : colours)
            if (other != colour)
                QCOMPARE(countInk(img, inside, other), 0);
        for (int i = 1; i < 42; ++i) {
            QCOMPARE(img.pixel(i, 1), qRgb(255, 255, 255));
            QCOMPARE(img.pixel(1, i), qRgb(255, 255, 255));
            QCOMPARE(img.pixel(i, 41), qRgb(255, 255, 255));
            QCOMPARE(img.pixel(41, i), qRgb(255, 255, 255));
        }
    }
}

void TestBoardArt::digitPicturesDifferByDigit()
{
    // The digit is centred: ink on both sides of the middle, above and below.
    for (int d = 1; d <= 9; ++d) {
        const QImage img = BoardArt::renderNum(d);
        QRect ink;
        for (int y = 1; y < 42; ++y)
            for (int x = 1; x < 42; ++x)
                if (qGray(img.pixel(x, y)) < 128)
                    ink |= QRect(x, y, 1, 1);
        QVERIFY(ink.height() >= 18);
        QVERIFY2(qAbs((ink.left() + ink.right()) - 42) <= 3, qPrintable(QString::number(d)));
        QVERIFY2(qAbs((ink.top() + ink.bottom()) - 42) <= 3, qPrintable(QString::number(d)));
    }
    // The same digit in four colours has the same shape; different digits do not.
    const auto shape = [](const QImage &img) {
        QImage mask(img.size(), QImage::Format_Mono);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                mask.setPixel(x, y, img.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0);
        return mask;
    };
    QCOMPARE(shape(BoardArt::renderNum(3)), shape(BoardArt::renderNum(12)));
    QCOMPARE(shape(BoardArt::renderNum(3)), shape(BoardArt::renderNum(21)));
    // This player's confirmed digits carry more ink than the same digit in any
    // other colour, so they differ without telling colours apart.
    const auto inked = [](const QImage &img) {
        int n = 0;
        for (int y = 1; y < 42; ++y)
            for (int x = 1; x < 42; ++x)
                n += qGray(img.pixel(x, y)) < 200 ? 1 : 0;
        return n;
    };
    for (int d = 1; d <= 9; ++d)
        QVERIFY2(inked(BoardArt::renderNum(d + 27)) > inked(BoardArt::renderNum(d + 9)) * 11 / 10,
                 qPrintable(QString::number(d)));
    for (int d = 1; d < 9; ++d)
        QVERIFY(shape(BoardArt::renderNum(d)) != shape(BoardArt::renderNum(d + 1)));
    // At device pixel ratio 2 a picture holds twice the pixels each way, its
    // frame still one unit (two pixels) thick.
    const QImage sharp = BoardArt::renderNum(5, 2.0);
    QCOMPARE(sharp.size(), QSize(86, 86));
    QCOMPARE(sharp.devicePixelRatio(), 2.0);
    QCOMPARE(sharp.pixel(1, 40), qRgb(0, 0, 0));
    QCOMPARE(sharp.pixel(2, 40), qRgb(255, 255, 255));
    QCOMPARE(sharp.pixel(84, 40), qRgb(0, 0, 0));
    QCOMPARE(BoardArt::renderGrid(2.0).size(), BoardArt::GridSize * 2);
    // Out of range gives the blank square.
    QCOMPARE(BoardArt::renderNum(37), BoardArt::renderNum(0));
    QCOMPARE(BoardArt::renderNum(-1), BoardArt::renderNum(0));
}

void TestBoardArt::framesAreHollow()
{
    const QImage plain = BoardArt::renderHighlite(0);
    const QImage lit = BoardArt::renderHighlite(1);
    QCOMPARE(plain.size(), QSize(149, 150));
    QCOMPARE(lit.size(), QSize(149, 150));
    QVERIFY(plain.hasAlphaChannel());
    for (int y = 0; y < 150; ++y) {
        for (int x = 0; x < 149; ++x) {
            const int edge = qMin(qMin(x, y), qMin(148 - x, 149 - y));
            if (edge < 5) {
                QCOMPARE(plain.pixel(x, y), qRgb(128, 0, 0));
                const QRgb px = lit.pixel(x, y);
                QCOMPARE(qAlpha(px), 255);
                QVERIFY(qRed(px) >= 150 && qRed(px) > qGreen(px) && qGreen(px) == qBlue(px));
            } else {
                QCOMPARE(qAlpha(plain.pixel(x, y)), 0);
                QCOMPARE(qAlpha(lit.pixel(x, y)), 0);
            }
        }
    }
    // Shaded: light on the outside, dark inside, bright red in between.
    const QRgb outer = lit.pixel(74, 0);
    const QRgb inner = lit.pixel(74, 4);
    QVERIFY(qGray(outer) > qGray(inner) + 60);
    QVERIFY(qGreen(lit.pixel(74, 2)) < 80 && qRed(lit.pixel(74, 2)) > 220);
}

void TestBoardArt::littleDigits()
{
    const QImage blank = BoardArt::renderLittleNum(0);
    QCOMPARE(blank.size(), QSize(13, 13));
    QCOMPARE(countInk(blank, blank.rect(), Qt::white), 13 * 13);
    for (int k = 1; k <= 9; ++k) {
        const QImage img = BoardArt::renderLittleNum(k);
        QCOMPARE(img.size(), QSize(13, 13));
        int grey = 0;
        for (int y = 0; y < 13; ++y) {
            for (int x = 0; x < 13; ++x) {
                const QRgb px = img.pixel(x, y);
                QCOMPARE(qAlpha(px), 255);
                // Grey only: every pixel has equal channels.
                QCOMPARE(qRed(px), qGreen(px));
                QCOMPARE(qGreen(px), qBlue(px));
                if (qRed(px) < 200)
                    ++grey;
            }
        }
        QVERIFY2(grey >= 8, qPrintable(QString::number(k)));
        QVERIFY(img != blank);
    }
}

void TestBoardArt::gridCellsSitAtTheTableOrigins()
{
    const QImage grid = BoardArt::renderGrid();
    QCOMPARE(grid.size(), QSize(458, 455));
    const QPoint shift = BoardArt::BoardInGrid;
    QCOMPARE(shift, QPoint(4, 4));
    for (int c = 1; c <= 9; ++c) {
        for (int r = 1; r <= 9; ++r) {
            const QRect cell(cellOrigin(c, r) + shift, QSize(43, 43));
            for (int y = cell.top(); y <= cell.bottom(); ++y)
                for (int x = cell.left(); x <= cell.right(); ++x)
                    QCOMPARE(grid.pixel(x, y), qRgb(255, 255, 255));
            // The pixels just outside the cell are not white.
            QVERIFY(grid.pixel(cell.left() - 1, cell.center().y()) != qRgb(255, 255, 255));
            QVERIFY(grid.pixel(cell.right() + 1, cell.center().y()) != qRgb(255, 255, 255));
            QVERIFY(grid.pixel(cell.center().x(), cell.top() - 1) != qRgb(255, 255, 255));
            QVERIFY(grid.pixel(cell.center().x(), cell.bottom() + 1) != qRgb(255, 255, 255));
        }
    }
}

void TestBoardArt::gridSeparatorsAndBars()
{
    const QImage grid = BoardArt::renderGrid();
    const QRgb grey = qRgb(128, 128, 128);
    const QRgb maroon = qRgb(128, 0, 0);
    const QPoint s = BoardArt::BoardInGrid;
    // Outer edge: one grey pixel all round, maroon just inside it.
    for (int x = 0; x < 458; ++x) {
        QCOMPARE(grid.pixel(x, 0), grey);
        QCOMPARE(grid.pixel(x, 454), grey);
    }
    for (int y = 0; y < 455; ++y) {
        QCOMPARE(grid.pixel(0, y), grey);
        QCOMPARE(grid.pixel(457, y), grey);
    }
    QCOMPARE(grid.pixel(1, 200), maroon);
    QCOMPARE(grid.pixel(200, 1), maroon);
    QCOMPARE(grid.pixel(456, 200), maroon);
    QCOMPARE(grid.pixel(200, 453), maroon);
    // Between the cells of a box: grey, across the whole gap.
    const int y = getoffsety(5) + s.y() + 20;
    for (int x = getoffsetx(1) + 43 + s.x(); x < getoffsetx(2) + s.x(); ++x)
        QCOMPARE(grid.pixel(x, y), grey);
    for (int x = getoffsetx(5) + 43 + s.x(); x < getoffsetx(6) + s.x(); ++x)
        QCOMPARE(grid.pixel(x, y), grey);
    const int x = getoffsetx(8) + s.x() + 20;
    for (int yy = getoffsety(7) + 43 + s.y(); yy < getoffsety(8) + s.y(); ++yy)
        QCOMPARE(grid.pixel(x, yy), grey);
    // Where separators cross inside a box, still grey.
    QCOMPARE(grid.pixel(getoffsetx(2) + s.x() - 2, getoffsety(2) + s.y() - 2), grey);
    // Between boxes: maroon bars, at least 8 pixels.
    int bar = 0;
    for (int xx = getoffsetx(3) + 43 + s.x(); xx < getoffsetx(4) + s.x(); ++xx)
        bar += grid.pixel(xx, y) == maroon;
    QVERIFY2(bar >= 8, qPrintable(QString::number(bar)));
    bar = 0;
    for (int yy = getoffsety(6) + 43 + s.y(); yy < getoffsety(7) + s.y(); ++yy)
        bar += grid.pixel(x, yy) == maroon;
    QVERIFY2(bar >= 8, qPrintable(QString::number(bar)));
    // The grid needs no transparency: it lies under everything.
    for (int yy = 0; yy < 455; yy += 7)
        for (int xx = 0; xx < 458; xx += 7)
            QCOMPARE(qAlpha(grid.pixel(xx, yy)), 255);
}

void TestBoardArt::numberStripButtonsStayInTheirFields()
{
    // A click maps to a choice by y div 28 and x div 29; every button must
    // lie wholly inside the field that chooses it, with a dark digit (or the
    // eraser's dash) at its middle, so a click on a drawn button always picks
    // the digit it shows.
    const QImage strip = BoardArt::renderNumberStrip();
    QCOMPARE(strip.size(), QSize(58, 171));
    // The buttons are the only bluish paint on the strip.
    const auto button = [&](int x, int y) {
        const QRgb px = strip.pixel(x, y);
        return qAlpha(px) > 0 && qBlue(px) > qRed(px);
    };
    for (int row = 0; row < 5; ++row) {
        for (int side = 0; side < 2; ++side) {
            const QRect field(side * 29, row * 28, 29, 28);
            for (int x = field.left(); x <= field.right(); ++x) {
                QVERIFY(!button(x, field.top()));
                QVERIFY(!button(x, field.bottom()));
            }
            for (int y = field.top(); y <= field.bottom(); ++y) {
                QVERIFY(!button(field.left(), y));
                QVERIFY(!button(field.right(), y));
            }
            QVERIFY(button(field.left() + 4, field.center().y()));
            QVERIFY(button(field.right() - 4, field.center().y()));
            int dark = 0;
            for (int y = field.top() + 6; y < field.bottom() - 5; ++y)
                for (int x = field.left() + 6; x < field.right() - 5; ++x)
                    dark += qGray(strip.pixel(x, y)) < 60;
            QVERIFY2(dark >= 12, qPrintable(QStringLiteral("field %1,%2").arg(row).arg(side)));
        }
    }
    // Below y = 139 the closing field: painted, and different from a button.
    QCOMPARE(qAlpha(strip.pixel(29, 157)), 255);
    QCOMPARE(qAlpha(strip.pixel(10, 150)), 255);
    QVERIFY(qRed(strip.pixel(10, 150)) > qGreen(strip.pixel(10, 150)) + 80);
}

void TestBoardArt::pencilStripButtonsStayInTheirFields()
{
    const QImage strip = BoardArt::renderPencilStrip();
    QCOMPARE(strip.size(), QSize(32, 174));
    for (int row = 0; row < 5; ++row) {
        for (int side = 0; side < 2; ++side) {
            const QRect field(side * 16, row * 27, 16, 27);
            // The white round button at the field's middle, not across its edges.
            const QPoint mid = field.center() + QPoint(1, 1);
            int white = 0;
            for (int y = field.top(); y <= field.bottom(); ++y)
                for (int x = field.left(); x <= field.right(); ++x)
                    white += strip.pixel(x, y) == qRgb(255, 255, 255);
            QVERIFY(white >= 40);
            for (int y = field.top(); y <= field.bottom(); ++y) {
                QVERIFY(strip.pixel(field.left(), y) != qRgb(255, 255, 255));
                QVERIFY(strip.pixel(field.right(), y) != qRgb(255, 255, 255));
            }
            int grey = 0;
            for (int y = mid.y() - 5; y <= mid.y() + 5; ++y)
                for (int x = mid.x() - 5; x <= mid.x() + 5; ++x) {
                    const QRgb px = strip.pixel(x, y);
                    grey += qGray(px) < 170 && qRed(px) == qBlue(px);
                }
            QVERIFY2(grey >= 6, qPrintable(QStringLiteral("field %1,%2").arg(row).arg(side)));
        }
    }
    // The tip narrows to a point: opaque in the middle, clear at the corners.
    QCOMPARE(qAlpha(strip.pixel(16, 165)), 255);
    QCOMPARE(qAlpha(strip.pixel(1, 172)), 0);
    QCOMPARE(qAlpha(strip.pixel(30, 172)), 0);
}

void TestBoardArt::lazyPicturesMatchTheRenders()
{
    // Asked for one at a time, last first, before any whole list is built:
    // each cached picture is the one its index renders, and asking again
    // gives the same pixmap.
    const auto sameImage = [](const QPixmap &pm, const QImage &img) {
        return pm.size() == img.size()
               && pm.toImage().convertToFormat(QImage::Format_ARGB32)
                      == img.convertToFormat(QImage::Format_ARGB32);
    };
    QList<qint64> keys(BoardArt::NumCount);
    for (int i = BoardArt::NumCount - 1; i >= 0; --i) {
        QVERIFY2(sameImage(BoardArt::num(i), BoardArt::renderNum(i)), qPrintable(QString::number(i)));
        keys[i] = BoardArt::num(i).cacheKey();
    }
    for (int i = 0; i < BoardArt::NumCount; ++i)
        QCOMPARE(BoardArt::imagelist_nums().at(i).cacheKey(), keys[i]);
    for (int i = BoardArt::LittleNumCount - 1; i >= 0; --i)
        QVERIFY(sameImage(BoardArt::littleNum(i), BoardArt::renderLittleNum(i)));
    for (int i = BoardArt::HighliteCount - 1; i >= 0; --i)
        QVERIFY(sameImage(BoardArt::highlite(i), BoardArt::renderHighlite(i)));
}

void TestBoardArt::cachedPicturesMatchTheRenders()
{
    QCOMPARE(BoardArt::imagelist_nums().size(), 37);
    QCOMPARE(BoardArt::imagelist_highlite().size(), 2);
    QCOMPARE(BoardArt::imagelist_littlenums().size(), 10);
    // Built once: the same objects every time.
    QCOMPARE(&BoardArt::imagelist_nums(), &BoardArt::imagelist_nums());
    QCOMPARE(BoardArt::num(12).cacheKey(), BoardArt::imagelist_nums().at(12).cacheKey());
    QCOMPARE(BoardArt::num(99).cacheKey(), BoardArt::num(0).cacheKey());
    QCOMPARE(BoardArt::littleNum(-3).cacheKey(), BoardArt::littleNum(0).cacheKey());
    QCOMPARE(BoardArt::highlite(2).cacheKey(), BoardArt::highlite(0).cacheKey());

    const auto same = [](const QPixmap &pm, const QImage &img) {
        return pm.devicePixelRatio() == 1.0 && pm.size() == img.size()
               && pm.toImage().convertToFormat(QImage::Format_ARGB32)
                      == img.convertToFormat(QImage::Format_ARGB32);
    };
    QVERIFY(same(BoardArt::num(30), BoardArt::renderNum(30)));
    QVERIFY(same(BoardArt::highlite(1), BoardArt::renderHighlite(1)));
    QVERIFY(same(BoardArt::littleNum(7), BoardArt::renderLittleNum(7)));
    QVERIFY(same(BoardArt::gridPicture(), BoardArt::renderGrid()));
    QVERIFY(same(BoardArt::numberStrip(), BoardArt::renderNumberStrip()));
    QVERIFY(same(BoardArt::pencilStrip(), BoardArt::renderPencilStrip()));
}

QTEST_MAIN(TestBoardArt)
#include "test_boardart.moc"
