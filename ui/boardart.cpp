#include "ui/boardart.h"

#include "client/boardgeometry.h"

#include <QGuiApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <map>
#include <tuple>

namespace {

QImage blankImage(QSize size, qreal dpr)
{
    QImage image((QSizeF(size) * dpr).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    return image;
}

// A one-pixel frame just inside rect, drawn as filled edges so that it stays
// one pixel thick (in the picture's own units) at any device pixel ratio.
void drawFrame(QPainter &p, const QRect &rect, const QColor &colour)
{
    const int l = rect.left();
    const int t = rect.top();
    const int w = rect.width();
    const int h = rect.height();
    p.fillRect(QRect(l, t, w, 1), colour);
    p.fillRect(QRect(l, t + h - 1, w, 1), colour);
    p.fillRect(QRect(l, t + 1, 1, h - 2), colour);
    p.fillRect(QRect(l + w - 1, t + 1, 1, h - 2), colour);
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

// Finds the nudge, in steps of an eighth of a device pixel from -1/2 to +3/8,
// that leaves the least half-tone in a glyph's coverage: the shape whose
// strokes fall best on the pixel grid looks crispest.
QPointF crispestNudge(const QPainterPath &glyph, const QSize &area, const QPointF &at, qreal dpr)
{
    QImage alpha((QSizeF(area) * dpr).toSize(), QImage::Format_Alpha8);
    alpha.setDevicePixelRatio(dpr);
    QPointF best;
    qint64 bestBlur = -1;
    for (int iy = -4; iy < 4; ++iy) {
        for (int ix = -4; ix < 4; ++ix) {
            const QPointF nudge(ix / (8.0 * dpr), iy / (8.0 * dpr));
            alpha.fill(0);
            QPainter p(&alpha);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            p.drawPath(glyph.translated(at + nudge));
            p.end();
            qint64 blur = 0;
            for (int y = 0; y < alpha.height(); ++y) {
                const uchar *row = alpha.constScanLine(y);
                for (int x = 0; x < alpha.width(); ++x)
                    blur += qint64(row[x]) * (255 - row[x]);
            }
            if (bestBlur < 0 || blur < bestBlur) {
                bestBlur = blur;
                best = nudge;
            }
        }
    }
    return best;
}

// The nudge depends only on the glyph's outline and where it falls within
// whole pixels, so each shape is searched once: the four colours of a digit
// share one search, and so do a strip's buttons that sit alike on the grid.
QPointF placement(const QPainterPath &glyph, QChar ch, const QFont &font, const QSize &area,
                  const QPointF &at, qreal dpr)
{
    using Key = std::tuple<char16_t, QString, int, int, qreal, qreal, qreal>;
    static std::map<Key, QPointF> known;
    const Key key{ch.unicode(), font.key(), area.width(), area.height(), at.x(), at.y(), dpr};
    const auto found = known.find(key);
    if (found != known.end())
        return found->second;
    const QPointF nudge = crispestNudge(glyph, area, at, dpr);
    known.emplace(key, nudge);
    return nudge;
}

// Draws one character centred in box: horizontally by its inked width,
// vertically by the cap height, so that all digits share one baseline. The
// outline is then nudged by less than half a pixel to where its strokes
// fall best on the pixel grid, which keeps small digits crisp. A heavy glyph
// is also stroked along its outline, a weight above bold.
void drawCentred(QPainter &p, const QRectF &box, QChar ch, const QFont &font, const QColor &colour,
                 bool heavy = false)
{
    const QFontMetricsF metrics(font);
    QPainterPath glyph;
    glyph.addText(0, 0, font, QString(ch));
    const QRectF ink = glyph.boundingRect();
    const QPointF centred(box.center().x() - (ink.left() + ink.width() / 2.0),
                          box.center().y() + metrics.capHeight() / 2.0);
    const QSize area = box.toAlignedRect().size() + QSize(2, 2);
    const QPointF local = centred - box.toAlignedRect().topLeft() + QPointF(1, 1);
    const qreal dpr = p.device()->devicePixelRatioF();
    const QPointF best = placement(glyph, ch, font, area, local, dpr);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (heavy)
        p.setPen(QPen(colour, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    else
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

QImage BoardArt::renderNum(int index, qreal dpr)
{
    if (index < 0 || index >= NumCount)
        index = 0;
    QImage image = blankImage(NumSize, dpr);
    image.fill(Qt::white);
    QPainter p(&image);
    // The 1-pixel black border, drawn without anti-aliasing so it stays sharp.
    drawFrame(p, QRect(QPoint(0, 0), NumSize), Qt::black);
    if (index > 0) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const int digit = (index - 1) % 9 + 1;
        // This player's confirmed digits are heavier as well as green, so
        // they stand apart from the given ones without telling colours apart.
        drawCentred(p, QRectF(0, 0, NumSize.width(), NumSize.height()),
                    QChar(u'0' + digit), digitFont(30, true), digitColour(index), index >= 28);
    }
    return image;
}

QImage BoardArt::renderHighlite(int index, qreal dpr)
{
    QImage image = blankImage(HighliteSize, dpr);
    QPainter p(&image);
    const int w = HighliteSize.width();
    const int h = HighliteSize.height();
    if (index == 1) {
        // Bright red, shaded from a light outer edge to a dark inner one.
        static const QColor rings[5] = {QColor(255, 168, 168), QColor(255, 104, 104),
                                        QColor(250, 40, 40), QColor(222, 0, 0),
                                        QColor(176, 0, 0)};
        for (int i = 0; i < 5; ++i)
            drawFrame(p, QRect(i, i, w - 2 * i, h - 2 * i), rings[i]);
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

QImage BoardArt::renderLittleNum(int index, qreal dpr)
{
    if (index < 0 || index >= LittleNumCount)
        index = 0;
    QImage image = blankImage(LittleNumSize, dpr);
    image.fill(Qt::white);
    if (index > 0) {
        QPainter p(&image);
        p.setRenderHint(QPainter::TextAntialiasing);
        drawCentred(p, QRectF(0, 0, LittleNumSize.width(), LittleNumSize.height()),
                    QChar(u'0' + index), digitFont(12, true), littleDigit());
    }
    return image;
}

QImage BoardArt::renderGrid(qreal dpr)
{
    QImage image = blankImage(GridSize, dpr);
    image.fill(maroon());
    QPainter p(&image);
    // The 1-pixel grey outer edge.
    drawFrame(p, QRect(QPoint(0, 0), GridSize), separator());
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

QImage BoardArt::renderNumberStrip(qreal dpr)
{
    // Round buttons in two columns of 29 pixels and five rows of 28:
    // 1 2 / 3 4 / 5 6 / 7 8 / 9 and the eraser; below y = 139 a "close" tab.
    constexpr qreal colW = 29.0;
    constexpr qreal rowH = 28.0;
    QImage image = blankImage(NumberStripSize, dpr);
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

QImage BoardArt::renderPencilStrip(qreal dpr)
{
    // A pencil standing on its tip: two columns of 16 pixels and rows of 27
    // holding 1 2 / 3 4 / 5 6 / 7 8 / 9 and the eraser; below y = 139 the tip.
    constexpr qreal colW = 16.0;
    constexpr qreal rowH = 27.0;
    const QColor outline(112, 76, 20);
    QImage image = blankImage(PencilStripSize, dpr);
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

// Each picture is painted the first time it is asked for, at the screens'
// device pixel ratio, so the window shows without waiting for pictures it
// does not need yet (the board starts blank, the strips hidden). Dropped when
// the application object goes, so no pixmap outlives the QGuiApplication
// that made it.
struct ArtCache {
    qreal dpr = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QList<QPixmap> nums{BoardArt::NumCount};
    QList<QPixmap> highlite{BoardArt::HighliteCount};
    QList<QPixmap> littleNums{BoardArt::LittleNumCount};
    QPixmap grid;
    QPixmap numberStrip;
    QPixmap pencilStrip;
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

const QPixmap &painted(QPixmap &slot, QImage (*render)(qreal))
{
    if (slot.isNull())
        slot = QPixmap::fromImage(render(cache().dpr));
    return slot;
}

// Picture index of a list, painted on first use; out of range gives picture 0.
const QPixmap &painted(QList<QPixmap> &list, int index, QImage (*render)(int, qreal))
{
    if (index < 0 || index >= list.size())
        index = 0;
    QPixmap &slot = list[index];
    if (slot.isNull())
        slot = QPixmap::fromImage(render(index, cache().dpr));
    return slot;
}

const QList<QPixmap> &paintedAll(QList<QPixmap> &list, QImage (*render)(int, qreal))
{
    for (int i = 0; i < list.size(); ++i)
        painted(list, i, render);
    return list;
}

} // namespace

qreal BoardArt::devicePixelRatio()
{
    return cache().dpr;
}

const QList<QPixmap> &BoardArt::imagelist_nums()
{
    return paintedAll(cache().nums, &BoardArt::renderNum);
}

const QList<QPixmap> &BoardArt::imagelist_highlite()
{
    return paintedAll(cache().highlite, &BoardArt::renderHighlite);
}

const QList<QPixmap> &BoardArt::imagelist_littlenums()
{
    return paintedAll(cache().littleNums, &BoardArt::renderLittleNum);
}

const QPixmap &BoardArt::gridPicture()
{
    return painted(cache().grid, &BoardArt::renderGrid);
}

const QPixmap &BoardArt::numberStrip()
{
    return painted(cache().numberStrip, &BoardArt::renderNumberStrip);
}

const QPixmap &BoardArt::pencilStrip()
{
    return painted(cache().pencilStrip, &BoardArt::renderPencilStrip);
}

const QPixmap &BoardArt::num(int index)
{
    return painted(cache().nums, index, &BoardArt::renderNum);
}

const QPixmap &BoardArt::highlite(int index)
{
    return painted(cache().highlite, index, &BoardArt::renderHighlite);
}

const QPixmap &BoardArt::littleNum(int index)
{
    return painted(cache().littleNums, index, &BoardArt::renderLittleNum);
}
