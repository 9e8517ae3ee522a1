#include "ui/boardart.h"

#include "client/boardgeometry.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

QImage blankImage(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(1.0);
    image.fill(Qt::transparent);
    return image;
}

QFont digitFont(int pixelSize, bool bold)
{
    // Liberation Sans has Arial's metrics; fontconfig falls back to another
    // sans face where it is missing.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// How much of a glyph's coverage is half-tone: 0 for a shape that covers
// whole pixels only. Lower looks crisper.
qint64 blur(const QPainterPath &glyph, const QSize &size, const QPointF &at)
{
    QImage alpha(size, QImage::Format_Alpha8);
    alpha.fill(0);
    QPainter p(&alpha);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPath(glyph.translated(at));
    p.end();
    qint64 sum = 0;
    for (int y = 0; y < size.height(); ++y) {
        const uchar *row = alpha.constScanLine(y);
        for (int x = 0; x < size.width(); ++x)
            sum += qint64(row[x]) * (255 - row[x]);
    }
    return sum;
}

// Draws one character centred in box: horizontally by its inked width,
// vertically by the cap height, so that all digits share one baseline. The
// outline is then nudged by less than half a pixel to where its strokes
// fall best on the pixel grid, which keeps small digits crisp.
void drawCentred(QPainter &p, const QRectF &box, QChar ch, const QFont &font, const QColor &colour)
{
    const QFontMetricsF metrics(font);
    QPainterPath glyph;
    glyph.addText(0, 0, font, QString(ch));
    const QRectF ink = glyph.boundingRect();
    const QPointF centred(box.center().x() - (ink.left() + ink.width() / 2.0),
                          box.center().y() + metrics.capHeight() / 2.0);
    const QSize area = box.toAlignedRect().size() + QSize(2, 2);
    const QPointF local = centred - box.toAlignedRect().topLeft() + QPointF(1, 1);
    QPointF best;
    qint64 bestBlur = -1;
    for (int iy = -4; iy < 4; ++iy) {
        for (int ix = -4; ix < 4; ++ix) {
            const QPointF nudge(ix / 8.0, iy / 8.0);
            const qint64 b = blur(glyph, area, local + nudge);
            if (bestBlur < 0 || b < bestBlur) {
                bestBlur = b;
                best = nudge;
            }
        }
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(glyph.translated(centred + best));
    p.restore();
}

// A short rounded bar: the eraser of both strips.
void drawDash(QPainter &p, const QPointF &centre, qreal width, qreal height, const QColor &colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(centre.x() - width / 2.0, centre.y() - height / 2.0, width, height),
                      height / 2.0, height / 2.0);
}

QList<QPixmap> toPixmaps(int count, QImage (*render)(int))
{
    QList<QPixmap> list;
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list.append(QPixmap::fromImage(render(i)));
    return list;
}

} // namespace

QColor BoardArt::digitColour(int value)
{
    if (value >= 10 && value <= 18)
        return QColor(142, 60, 60);
    if (value >= 19 && value <= 27)
        return QColor(53, 56, 173);
    if (value >= 28 && value <= 36)
        return QColor(69, 161, 69);
    return QColor(0, 0, 0);
}

QImage BoardArt::renderNum(int index)
{
    if (index < 0 || index >= NumCount)
        index = 0;
    QImage image = blankImage(NumSize);
    image.fill(Qt::white);
    QPainter p(&image);
    // The 1-pixel black border, drawn without anti-aliasing so it stays sharp.
    p.setPen(Qt::black);
    p.drawRect(0, 0, NumSize.width() - 1, NumSize.height() - 1);
    if (index > 0) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const int digit = (index - 1) % 9 + 1;
        drawCentred(p, QRectF(0, 0, NumSize.width(), NumSize.height()),
                    QChar(u'0' + digit), digitFont(30, true), digitColour(index));
    }
    return image;
}

QImage BoardArt::renderHighlite(int index)
{
    QImage image = blankImage(HighliteSize);
    QPainter p(&image);
    const int w = HighliteSize.width();
    const int h = HighliteSize.height();
    if (index == 1) {
        // Bright red, shaded from a light outer edge to a dark inner one.
        static const QColor rings[5] = {QColor(255, 168, 168), QColor(255, 104, 104),
                                        QColor(250, 40, 40), QColor(222, 0, 0),
                                        QColor(176, 0, 0)};
        for (int i = 0; i < 5; ++i) {
            p.setPen(rings[i]);
            p.drawRect(i, i, w - 1 - 2 * i, h - 1 - 2 * i);
        }
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(maroon());
        QPainterPath ring;
        ring.addRect(0, 0, w, h);
        ring.addRect(5, 5, w - 10, h - 10);
        p.drawPath(ring); // odd-even fill leaves the inside clear
    }
    return image;
}

QImage BoardArt::renderLittleNum(int index)
{
    if (index < 0 || index >= LittleNumCount)
        index = 0;
    QImage image = blankImage(LittleNumSize);
    image.fill(Qt::white);
    if (index > 0) {
        QPainter p(&image);
        p.setRenderHint(QPainter::TextAntialiasing);
        drawCentred(p, QRectF(0, 0, LittleNumSize.width(), LittleNumSize.height()),
                    QChar(u'0' + index), digitFont(12, true), littleDigit());
    }
    return image;
}

QImage BoardArt::renderGrid()
{
    QImage image = blankImage(GridSize);
    image.fill(maroon());
    QPainter p(&image);
    // The 1-pixel grey outer edge.
    p.setPen(separator());
    p.drawRect(0, 0, GridSize.width() - 1, GridSize.height() - 1);
    p.setPen(Qt::NoPen);
    const int cell = BoardGeometry::CellSize;
    for (int bx = 0; bx < 3; ++bx) {
        for (int by = 0; by < 3; ++by) {
            const int c0 = 3 * bx + 1;
            const int r0 = 3 * by + 1;
            // A box is grey from its first cell to its last; the white cells
            // on top leave the separators between them.
            const int left = BoardGeometry::getoffsetx(c0) + BoardInGrid.x();
            const int top = BoardGeometry::getoffsety(r0) + BoardInGrid.y();
            const int right = BoardGeometry::getoffsetx(c0 + 2) + BoardInGrid.x() + cell;
            const int bottom = BoardGeometry::getoffsety(r0 + 2) + BoardInGrid.y() + cell;
            p.fillRect(QRect(left, top, right - left, bottom - top), separator());
            for (int c = c0; c < c0 + 3; ++c)
                for (int r = r0; r < r0 + 3; ++r)
                    p.fillRect(QRect(BoardGeometry::cellOrigin(c, r) + BoardInGrid,
                                     QSize(cell, cell)),
                               Qt::white);
        }
    }
    return image;
}

QImage BoardArt::renderNumberStrip()
{
    // Round buttons in two columns of 29 pixels and five rows of 28:
    // 1 2 / 3 4 / 5 6 / 7 8 / 9 and the eraser; below y = 139 a "close" tab.
    constexpr qreal colW = 29.0;
    constexpr qreal rowH = 28.0;
    QImage image = blankImage(NumberStripSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    p.setPen(QPen(maroon(), 1.0));
    p.setBrush(QColor(250, 246, 238));
    p.drawRoundedRect(QRectF(0.5, 0.5, 57.0, 139.0), 6.0, 6.0);

    const QFont font = digitFont(17, true);
    for (int i = 0; i < 10; ++i) {
        const int row = i / 2;
        const int side = i % 2;
        const QPointF centre(side * colW + colW / 2.0, row * rowH + rowH / 2.0);
        const qreal radius = 12.0;
        QRadialGradient face(centre - QPointF(4.0, 5.0), radius * 1.6);
        face.setColorAt(0.0, Qt::white);
        face.setColorAt(0.55, QColor(236, 238, 246));
        face.setColorAt(1.0, QColor(184, 192, 214));
        p.setPen(QPen(QColor(86, 92, 128), 1.0));
        p.setBrush(face);
        p.drawEllipse(centre, radius, radius);
        if (i < 9)
            drawCentred(p, QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
                        QChar(u'1' + i), font, Qt::black);
        else
            drawDash(p, centre, 11.0, 3.0, Qt::black);
    }

    // The closing field: a maroon tab with a white cross.
    p.setPen(Qt::NoPen);
    p.setBrush(maroon());
    p.drawRoundedRect(QRectF(0.5, 143.5, 57.0, 27.0), 6.0, 6.0);
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap));
    const QPointF mid(29.0, 157.0);
    p.drawLine(mid + QPointF(-5.5, -5.5), mid + QPointF(5.5, 5.5));
    p.drawLine(mid + QPointF(-5.5, 5.5), mid + QPointF(5.5, -5.5));
    return image;
}

QImage BoardArt::renderPencilStrip()
{
    // A pencil standing on its tip: two columns of 16 pixels and rows of 27
    // holding 1 2 / 3 4 / 5 6 / 7 8 / 9 and the eraser; below y = 139 the tip.
    constexpr qreal colW = 16.0;
    constexpr qreal rowH = 27.0;
    const QColor outline(112, 76, 20);
    QImage image = blankImage(PencilStripSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Pink eraser and silver ferrule at the top.
    QPainterPath cap;
    cap.addRoundedRect(QRectF(1.5, 0.5, 29.0, 6.0), 3.0, 3.0);
    p.setPen(QPen(QColor(150, 80, 90), 1.0));
    p.setBrush(QColor(240, 150, 164));
    p.drawPath(cap);
    QLinearGradient metal(0, 0, 32, 0);
    metal.setColorAt(0.0, QColor(236, 236, 236));
    metal.setColorAt(0.5, QColor(190, 190, 196));
    metal.setColorAt(1.0, QColor(150, 150, 158));
    p.setPen(QPen(QColor(110, 110, 118), 1.0));
    p.setBrush(metal);
    p.drawRect(QRectF(1.5, 3.5, 29.0, 3.0));

    // The yellow body in three facets.
    const QRectF body(1.5, 6.5, 29.0, 133.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 216, 92));
    p.drawRect(QRectF(body.left(), body.top(), 10.0, body.height()));
    p.setBrush(QColor(246, 190, 40));
    p.drawRect(QRectF(body.left() + 10.0, body.top(), 9.5, body.height()));
    p.setBrush(QColor(222, 156, 18));
    p.drawRect(QRectF(body.left() + 19.5, body.top(), 9.5, body.height()));
    p.setPen(QPen(outline, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(body);

    // The sharpened tip: bare wood, then the grey lead.
    const QPointF point(16.0, 173.5);
    QPainterPath wood;
    wood.moveTo(1.5, 140.0);
    wood.lineTo(30.5, 140.0);
    wood.lineTo(point);
    wood.closeSubpath();
    p.setPen(QPen(outline, 1.0));
    p.setBrush(QColor(234, 200, 152));
    p.drawPath(wood);
    const qreal leadTop = 160.0;
    const qreal half = 14.5 * (point.y() - leadTop) / (point.y() - 140.0);
    QPainterPath lead;
    lead.moveTo(point.x() - half, leadTop);
    lead.lineTo(point.x() + half, leadTop);
    lead.lineTo(point);
    lead.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(72, 72, 76));
    p.drawPath(lead);
    // Scalloped edge where the paint meets the wood.
    p.setPen(QPen(outline, 1.0));
    for (int i = 0; i < 3; ++i) {
        const qreal x0 = 1.5 + i * 29.0 / 3.0;
        p.drawArc(QRectF(x0, 137.0, 29.0 / 3.0, 6.0), 180 * 16, 180 * 16);
    }

    const QFont font = digitFont(11, true);
    for (int i = 0; i < 10; ++i) {
        const int row = i / 2;
        const int side = i % 2;
        const QPointF centre(side * colW + colW / 2.0, row * rowH + rowH / 2.0 + 1.0);
        const qreal radius = 6.5;
        p.setPen(QPen(QColor(150, 120, 60), 1.0));
        p.setBrush(Qt::white);
        p.drawEllipse(centre, radius, radius);
        if (i < 9)
            drawCentred(p, QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
                        QChar(u'1' + i), font, littleDigit());
        else
            drawDash(p, centre, 7.0, 2.0, littleDigit());
    }
    return image;
}

namespace {

// Built on first use and dropped when the application object goes, so no
// pixmap outlives the QGuiApplication that made it.
struct ArtCache {
    QList<QPixmap> nums = toPixmaps(BoardArt::NumCount, &BoardArt::renderNum);
    QList<QPixmap> highlite = toPixmaps(BoardArt::HighliteCount, &BoardArt::renderHighlite);
    QList<QPixmap> littleNums = toPixmaps(BoardArt::LittleNumCount, &BoardArt::renderLittleNum);
    QPixmap grid = QPixmap::fromImage(BoardArt::renderGrid());
    QPixmap numberStrip = QPixmap::fromImage(BoardArt::renderNumberStrip());
    QPixmap pencilStrip = QPixmap::fromImage(BoardArt::renderPencilStrip());
};

ArtCache *artCache = nullptr;

void dropArtCache()
{
    delete artCache;
    artCache = nullptr;
}

ArtCache &cache()
{
    if (!artCache) {
        artCache = new ArtCache;
        qAddPostRoutine(dropArtCache);
    }
    return *artCache;
}

} // namespace

const QList<QPixmap> &BoardArt::imagelist_nums()
{
    return cache().nums;
}

const QList<QPixmap> &BoardArt::imagelist_highlite()
{
    return cache().highlite;
}

const QList<QPixmap> &BoardArt::imagelist_littlenums()
{
    return cache().littleNums;
}

const QPixmap &BoardArt::gridPicture()
{
    return cache().grid;
}

const QPixmap &BoardArt::numberStrip()
{
    return cache().numberStrip;
}

const QPixmap &BoardArt::pencilStrip()
{
    return cache().pencilStrip;
}

const QPixmap &BoardArt::num(int index)
{
    const QList<QPixmap> &list = imagelist_nums();
    return list.at(index >= 0 && index < list.size() ? index : 0);
}

const QPixmap &BoardArt::highlite(int index)
{
    const QList<QPixmap> &list = imagelist_highlite();
    return list.at(index >= 0 && index < list.size() ? index : 0);
}

const QPixmap &BoardArt::littleNum(int index)
{
    const QList<QPixmap> &list = imagelist_littlenums();
    return list.at(index >= 0 && index < list.size() ? index : 0);
}
