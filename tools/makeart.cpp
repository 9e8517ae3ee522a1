// Paints the game's two JPEG pictures and writes them into a folder:
//   penalty.jpg  438×440  shown over the grid while a penalty runs
//   lobbyad.jpg  400×339  the lobby download window's advertisement
// With --sheet FILE.png it instead draws every board picture (digits, frames,
// pencil marks, grid, number and pencil strips) and both JPEGs on one sheet
// for a look by eye.
//
// With --icons DIR NAME it writes the program icon as an icon theme folder:
// DIR/NxN/NAME.png for the usual sizes and DIR/scalable/NAME.svg.
//
// Usage: makeart OUTDIR | makeart --sheet FILE.png [JPEGDIR] | makeart --icons DIR NAME
// Runs headless: QT_QPA_PLATFORM=offscreen makeart resources/pictures

#include "client/boardgeometry.h"
#include "ui/boardart.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <cmath>
#include <cstdio>

namespace {

const QColor Maroon(128, 0, 0);
const QColor LobbyInk(96, 92, 141);
const QColor LobbyBlue(113, 133, 187);

QFont sans(int pixelSize, bool bold = true, bool italic = false)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

void centredText(QPainter &p, const QRectF &box, const QString &text, const QFont &font,
                 const QColor &colour)
{
    p.setFont(font);
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, text);
}

// Text with a soft drop shadow.
void shadowText(QPainter &p, const QRectF &box, const QString &text, const QFont &font,
                const QColor &colour, const QColor &shadow)
{
    centredText(p, box.translated(2, 2), text, font, shadow);
    centredText(p, box, text, font, colour);
}

// A faint 9×9 grid with a few scattered digits, as wallpaper.
void faintBoard(QPainter &p, const QRectF &area, quint32 seed, int alpha)
{
    QRandomGenerator rng(seed);
    const qreal cell = area.width() / 9.0;
    const qreal rowH = area.height() / 9.0;
    p.save();
    for (int i = 0; i <= 9; ++i) {
        const qreal w = (i % 3 == 0) ? 2.5 : 1.0;
        p.setPen(QPen(QColor(128, 0, 0, alpha), w));
        p.drawLine(QPointF(area.left() + i * cell, area.top()),
                   QPointF(area.left() + i * cell, area.bottom()));
        p.drawLine(QPointF(area.left(), area.top() + i * rowH),
                   QPointF(area.right(), area.top() + i * rowH));
    }
    p.setFont(sans(int(rowH * 0.62)));
    for (int c = 0; c < 9; ++c) {
        for (int r = 0; r < 9; ++r) {
            if (rng.bounded(100) >= 38)
                continue;
            const int digit = 1 + int(rng.bounded(9));
            QColor ink = rng.bounded(3) == 0 ? QColor(53, 56, 173) : QColor(142, 60, 60);
            ink.setAlpha(alpha + 18);
            p.setPen(ink);
            p.drawText(QRectF(area.left() + c * cell, area.top() + r * rowH, cell, rowH),
                       Qt::AlignCenter, QString::number(digit));
        }
    }
    p.restore();
}

// An hourglass standing in box (sand mostly run down).
void hourglass(QPainter &p, const QRectF &box)
{
    const qreal cx = box.center().x();
    const qreal top = box.top();
    const qreal bottom = box.bottom();
    const qreal capH = box.height() * 0.085;
    const qreal halfW = box.width() * 0.36;
    const qreal neck = box.width() * 0.045;
    const qreal glassTop = top + capH;
    const qreal glassBottom = bottom - capH;
    const qreal mid = (glassTop + glassBottom) / 2.0;

    // Glass outline: two bulbs meeting at the neck.
    QPainterPath glass;
    glass.moveTo(cx - halfW, glassTop);
    glass.lineTo(cx + halfW, glassTop);
    glass.cubicTo(cx + halfW, mid - (mid - glassTop) * 0.35, cx + neck, mid - 10, cx + neck, mid);
    glass.cubicTo(cx + neck, mid + 10, cx + halfW, mid + (glassBottom - mid) * 0.35, cx + halfW,
                  glassBottom);
    glass.lineTo(cx - halfW, glassBottom);
    glass.cubicTo(cx - halfW, mid + (glassBottom - mid) * 0.35, cx - neck, mid + 10, cx - neck, mid);
    glass.cubicTo(cx - neck, mid - 10, cx - halfW, mid - (mid - glassTop) * 0.35, cx - halfW,
                  glassTop);
    glass.closeSubpath();

    QLinearGradient glassFill(box.left(), 0, box.right(), 0);
    glassFill.setColorAt(0.0, QColor(214, 232, 246, 200));
    glassFill.setColorAt(0.35, QColor(250, 253, 255, 230));
    glassFill.setColorAt(1.0, QColor(196, 214, 232, 200));
    p.setPen(Qt::NoPen);
    p.setBrush(glassFill);
    p.drawPath(glass);

    // Sand: a little left above, a heap below, a thin stream between.
    const QColor sand(228, 176, 84);
    const QColor sandDark(196, 138, 52);
    p.save();
    p.setClipPath(glass);
    QPainterPath upper;
    const qreal upperLevel = mid - (mid - glassTop) * 0.42;
    upper.moveTo(cx - halfW, upperLevel);
    upper.quadTo(cx, upperLevel + 14, cx + halfW, upperLevel);
    upper.lineTo(cx + halfW, mid);
    upper.lineTo(cx - halfW, mid);
    upper.closeSubpath();
    QLinearGradient sandFill(0, glassTop, 0, glassBottom);
    sandFill.setColorAt(0.0, sand);
    sandFill.setColorAt(1.0, sandDark);
    p.setBrush(sandFill);
    p.drawPath(upper);
    QPainterPath heap;
    const qreal heapTop = glassBottom - (glassBottom - mid) * 0.62;
    heap.moveTo(cx - halfW - 2, glassBottom + 1);
    heap.cubicTo(cx - halfW * 0.55, glassBottom - 6, cx - halfW * 0.25, heapTop, cx, heapTop);
    heap.cubicTo(cx + halfW * 0.25, heapTop, cx + halfW * 0.55, glassBottom - 6, cx + halfW + 2,
                 glassBottom + 1);
    heap.closeSubpath();
    p.drawPath(heap);
    p.restore();
    p.setBrush(sand);
    p.drawRect(QRectF(cx - 1.5, mid - 2, 3, heapTop - mid + 3));

    // Glass rim and a highlight stroke.
    p.setPen(QPen(QColor(90, 110, 140), 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(glass);
    p.setPen(QPen(QColor(255, 255, 255, 200), 3.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(cx - halfW * 0.72, glassTop + 12), QPointF(cx - halfW * 0.55, mid - 30));
    p.drawLine(QPointF(cx - halfW * 0.55, mid + 34), QPointF(cx - halfW * 0.72, glassBottom - 14));

    // Wooden caps and posts.
    QLinearGradient wood(0, 0, 0, capH);
    wood.setColorAt(0.0, QColor(168, 40, 40));
    wood.setColorAt(1.0, QColor(104, 0, 0));
    const qreal capW = halfW * 2 + 26;
    for (const qreal y : {top, bottom - capH}) {
        p.save();
        p.translate(0, y);
        p.setPen(QPen(QColor(70, 0, 0), 1.5));
        p.setBrush(wood);
        p.drawRoundedRect(QRectF(cx - capW / 2, 0, capW, capH), 6, 6);
        p.restore();
    }
    p.setPen(QPen(QColor(70, 0, 0), 1.5));
    p.setBrush(QColor(140, 24, 24));
    for (const qreal x : {cx - capW / 2 + 4, cx + capW / 2 - 12})
        p.drawRoundedRect(QRectF(x, top + capH - 1, 8, bottom - top - 2 * capH + 2), 3, 3);
}

QImage penaltyPicture()
{
    QImage image(438, 440, QImage::Format_RGB32);
    image.setDevicePixelRatio(1.0);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QRadialGradient bg(219, 230, 330);
    bg.setColorAt(0.0, QColor(255, 252, 244));
    bg.setColorAt(1.0, QColor(236, 222, 200));
    p.fillRect(image.rect(), bg);
    faintBoard(p, QRectF(14, 14, 410, 412), 7772, 26);

    // A maroon border like the board's own.
    p.setPen(QPen(Maroon, 8));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(4, 4, 430, 432));

    // Heading ribbon.
    QLinearGradient ribbon(0, 34, 0, 96);
    ribbon.setColorAt(0.0, QColor(168, 28, 28));
    ribbon.setColorAt(1.0, QColor(112, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(ribbon);
    p.drawRoundedRect(QRectF(64, 34, 310, 62), 14, 14);
    shadowText(p, QRectF(64, 34, 310, 62), QStringLiteral("PENALTY"), sans(44),
               QColor(255, 244, 226), QColor(60, 0, 0, 160));

    hourglass(p, QRectF(149, 112, 140, 204));

    // A soft card behind the words keeps the wallpaper out of them.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 251, 242, 215));
    p.drawRoundedRect(QRectF(44, 324, 350, 94), 14, 14);
    shadowText(p, QRectF(20, 326, 398, 34), QStringLiteral("Misplaced numbers!"), sans(26),
               Maroon, QColor(0, 0, 0, 40));
    centredText(p, QRectF(20, 362, 398, 26), QStringLiteral("Your board is hidden for a moment."),
                sans(17, false), QColor(70, 60, 60));
    centredText(p, QRectF(20, 388, 398, 26), QStringLiteral("Please wait..."), sans(18, true, true),
                QColor(70, 60, 60));
    return image;
}

// A head and shoulders in a round badge.
void player(QPainter &p, const QPointF &centre, qreal radius, const QColor &colour,
            const QString &name)
{
    QRadialGradient badge(centre - QPointF(radius * 0.3, radius * 0.4), radius * 1.4);
    badge.setColorAt(0.0, colour.lighter(150));
    badge.setColorAt(1.0, colour.darker(115));
    p.setPen(QPen(Qt::white, 3));
    p.setBrush(badge);
    p.drawEllipse(centre, radius, radius);
    p.save();
    QPainterPath clip;
    clip.addEllipse(centre, radius - 1.5, radius - 1.5);
    p.setClipPath(clip);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawEllipse(centre + QPointF(0, -radius * 0.22), radius * 0.3, radius * 0.3);
    p.drawEllipse(QRectF(centre.x() - radius * 0.58, centre.y() + radius * 0.18, radius * 1.16,
                         radius * 1.1));
    p.restore();
    centredText(p, QRectF(centre.x() - 50, centre.y() + radius + 2, 100, 18), name, sans(13),
                LobbyInk);
}

void speechBubble(QPainter &p, const QRectF &box, const QString &text, bool tailLeft)
{
    QPainterPath bubble;
    bubble.addRoundedRect(box, 9, 9);
    QPainterPath tail;
    const qreal tx = tailLeft ? box.left() + 16 : box.right() - 16;
    tail.moveTo(tx - 6, box.bottom() - 1);
    tail.lineTo(tx + (tailLeft ? -10 : 10), box.bottom() + 10);
    tail.lineTo(tx + 6, box.bottom() - 1);
    tail.closeSubpath();
    bubble = bubble.united(tail);
    p.setPen(QPen(LobbyBlue, 1.5));
    p.setBrush(Qt::white);
    p.drawPath(bubble);
    centredText(p, box, text, sans(13, true, true), LobbyInk);
}

// A small board with a few digits in the game's colours.
void miniBoard(QPainter &p, const QRectF &box)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawRoundedRect(box.translated(4, 5), 6, 6);
    p.setBrush(Maroon);
    p.drawRoundedRect(box, 6, 6);
    const QRectF inner = box.adjusted(6, 6, -6, -6);
    p.setBrush(QColor(128, 128, 128));
    p.drawRect(inner);
    const qreal gap = 1.0;
    const qreal boxGap = 3.0;
    const qreal cell = (inner.width() - 6 * gap - 2 * boxGap) / 9.0;
    static const char digits[] = "53..7....6..195....98....6.8...6...34..8.3..17...2...6.6....28....419..5....8..79";
    static const QColor inks[] = {QColor(142, 60, 60), QColor(53, 56, 173), QColor(69, 161, 69)};
    QFont font = sans(int(cell * 0.72));
    p.setFont(font);
    for (int c = 0; c < 9; ++c) {
        for (int r = 0; r < 9; ++r) {
            const qreal x = inner.left() + c * (cell + gap) + (c / 3) * (boxGap - gap);
            const qreal y = inner.top() + r * (cell + gap) + (r / 3) * (boxGap - gap);
            const QRectF cellBox(x, y, cell, cell);
            p.fillRect(cellBox, Qt::white);
            const char d = digits[r * 9 + c];
            if (d != '.') {
                p.setPen(inks[(c + 2 * r) % 3]);
                p.drawText(cellBox, Qt::AlignCenter, QString(QChar(d)));
            }
        }
    }
}

QImage lobbyPicture()
{
    QImage image(400, 339, QImage::Format_RGB32);
    image.setDevicePixelRatio(1.0);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, 0, 339);
    sky.setColorAt(0.0, QColor(238, 242, 252));
    sky.setColorAt(1.0, QColor(206, 214, 240));
    p.fillRect(image.rect(), sky);

    // Soft light circles in the background.
    p.setPen(Qt::NoPen);
    for (const auto &[x, y, r] : {std::tuple{40.0, 290.0, 70.0}, std::tuple{360.0, 120.0, 90.0},
                                  std::tuple{200.0, 200.0, 120.0}}) {
        QRadialGradient glow(x, y, r);
        glow.setColorAt(0.0, QColor(255, 255, 255, 150));
        glow.setColorAt(1.0, QColor(255, 255, 255, 0));
        p.setBrush(glow);
        p.drawEllipse(QPointF(x, y), r, r);
    }

    // Title band.
    QLinearGradient band(0, 0, 0, 64);
    band.setColorAt(0.0, QColor(122, 118, 176));
    band.setColorAt(1.0, LobbyInk);
    p.fillRect(QRectF(0, 0, 400, 64), band);
    p.fillRect(QRectF(0, 64, 400, 3), QColor(255, 204, 72));
    shadowText(p, QRectF(0, 2, 400, 36), QStringLiteral("The Brenvik Lobby"), sans(30), Qt::white,
               QColor(30, 26, 70, 150));
    centredText(p, QRectF(0, 36, 400, 24), QStringLiteral("Sudoku with real people, online"),
                sans(15, false, true), QColor(236, 236, 255));

    // Four players around a shared board, chatting.
    miniBoard(p, QRectF(140, 116, 120, 120));
    player(p, QPointF(62, 138), 27, QColor(200, 70, 70), QStringLiteral("Anna"));
    player(p, QPointF(338, 138), 27, QColor(70, 90, 200), QStringLiteral("Jonas"));
    player(p, QPointF(62, 226), 27, QColor(60, 160, 90), QStringLiteral("Mei"));
    player(p, QPointF(338, 226), 27, QColor(220, 150, 40), QStringLiteral("Tom"));
    speechBubble(p, QRectF(22, 76, 96, 22), QStringLiteral("Good luck!"), true);
    speechBubble(p, QRectF(282, 76, 96, 22), QStringLiteral("You too :)"), false);

    // What the lobby offers.
    const QStringList lines = {QStringLiteral("Play up to four at once"),
                               QStringLiteral("Chat, watch and compete"),
                               QStringLiteral("Free to join")};
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawRoundedRect(QRectF(60, 276, 280, 58), 10, 10);
    for (int i = 0; i < lines.size(); ++i) {
        const qreal y = 279 + i * 17.5;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 190, 40));
        p.drawEllipse(QPointF(88, y + 9), 4.5, 4.5);
        p.setFont(sans(15));
        p.setPen(LobbyInk);
        p.drawText(QRectF(100, y, 230, 18), Qt::AlignVCenter | Qt::AlignLeft, lines.at(i));
    }
    return image;
}

bool writeJpeg(const QImage &image, const QString &path)
{
    QImageWriter writer(path, "jpeg");
    writer.setQuality(90);
    writer.setOptimizedWrite(true);
    if (!writer.write(image)) {
        std::fprintf(stderr, "makeart: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(writer.errorString()));
        return false;
    }
    return true;
}

// Everything on one sheet, each picture on a checkerboard so that its
// transparent parts show.
QImage sheet(const QString &jpegDir)
{
    QImage out(1500, 1480, QImage::Format_ARGB32_Premultiplied);
    out.fill(QColor(60, 60, 66));
    QPainter p(&out);
    auto checker = [&](const QRect &r) {
        for (int y = r.top(); y <= r.bottom(); y += 8)
            for (int x = r.left(); x <= r.right(); x += 8)
                p.fillRect(QRect(x, y, 8, 8).intersected(r),
                           ((x / 8 + y / 8) % 2) ? QColor(200, 200, 200) : QColor(240, 240, 240));
    };
    auto place = [&](const QImage &img, int x, int y, int scale = 1) {
        const QRect r(x, y, img.width() * scale, img.height() * scale);
        checker(r);
        p.drawImage(r, img);
    };
    // Cell digits, 4 rows of 9 plus the blank, at 2×.
    for (int i = 0; i < BoardArt::NumCount; ++i) {
        const int row = i == 0 ? 0 : (i - 1) / 9;
        const int col = i == 0 ? 9 : (i - 1) % 9;
        place(BoardArt::renderNum(i), 10 + col * 92, 10 + row * 92, 2);
    }
    for (int i = 0; i < BoardArt::LittleNumCount; ++i)
        place(BoardArt::renderLittleNum(i), 10 + i * 60, 385, 4);
    place(BoardArt::renderHighlite(0), 960, 10);
    place(BoardArt::renderHighlite(1), 1120, 10);
    place(BoardArt::renderNumberStrip(), 960, 180, 2);
    place(BoardArt::renderPencilStrip(), 1100, 180, 2);
    place(BoardArt::renderNumberStrip(), 1200, 180);
    place(BoardArt::renderPencilStrip(), 1280, 180);

    // A board as the window composes it: grid picture, cells, marks, frames.
    QImage board = BoardArt::renderGrid();
    {
        QPainter b(&board);
        b.translate(BoardArt::BoardInGrid);
        static const int values[9][9] = {
            {14, 0, 0, 0, 1, 0, 0, 0, 0}, {0, 15, 0, 0, 0, 33, 0, 0, 0}, {0, 0, 16, 0, 0, 0, 7, 0, 0},
            {0, 0, 0, 17, 0, 0, 0, 26, 0}, {0, 0, 0, 0, 18, 0, 0, 0, 0}, {19, 0, 0, 0, 0, 10, 0, 0, 0},
            {0, 29, 0, 0, 0, 0, 11, 0, 0}, {0, 0, 3, 0, 0, 0, 0, 12, 0}, {0, 0, 0, 22, 0, 0, 0, 0, 13}};
        for (int c = 1; c <= 9; ++c) {
            for (int r = 1; r <= 9; ++r) {
                const QPoint o = BoardGeometry::cellOrigin(c, r);
                b.drawImage(o, BoardArt::renderNum(0));
                const int v = values[c - 1][r - 1];
                if (v)
                    b.drawImage(o, BoardArt::renderNum(v));
                else if ((c + r) % 4 == 0)
                    for (int k = 1; k <= 9; ++k)
                        b.drawImage(o + BoardGeometry::pencilOffset(k),
                                    BoardArt::renderLittleNum((k * c + r) % 3 ? 0 : k));
            }
            b.drawImage(BoardGeometry::boxOrigin(c), BoardArt::renderHighlite(c == 5 ? 1 : 0));
        }
    }
    place(board, 10, 450);
    place(board, 500, 450, 1);

    QImage penalty(jpegDir + QStringLiteral("/penalty.jpg"));
    QImage lobby(jpegDir + QStringLiteral("/lobbyad.jpg"));
    if (penalty.isNull())
        penalty = penaltyPicture();
    if (lobby.isNull())
        lobby = lobbyPicture();
    place(penalty, 10, 930);
    place(lobby, 470, 930);
    place(board.copy(0, 0, 160, 160), 990, 930, 3);
    return out;
}


// The program icon: a maroon tile holding a white board with its three by
// three boxes, a few given digits and three cells in the seat colours. The
// icon is a list of filled shapes on a 256-unit square, so that the PNGs and
// the SVG are drawn from the same outlines. Below 48 pixels the cell lines
// and the digits would blur into grey; those sizes keep the boxes and the
// coloured cells only.
struct IconShape
{
    QPainterPath path;
    QColor fill;
};

QPainterPath rectPath(const QRectF &r)
{
    QPainterPath path;
    path.addRect(r);
    return path;
}

QList<IconShape> iconShapes(bool detailed)
{
    QList<IconShape> shapes;
    QPainterPath tile;
    tile.addRoundedRect(QRectF(8, 8, 240, 240), 40, 40);
    shapes.append({tile, Maroon});
    const QRectF board(32, 32, 192, 192);
    shapes.append({rectPath(board), Qt::white});

    const qreal cell = board.width() / 9.0;
    auto cellRect = [&](int col, int row) {
        return QRectF(board.left() + col * cell, board.top() + row * cell, cell, cell);
    };
    // Cells in the seat colours, one in each of three boxes.
    const struct { int col, row; QColor colour; } marked[] = {
        {1, 1, QColor(90, 130, 230)}, {4, 4, QColor(235, 170, 40)}, {7, 7, QColor(70, 170, 90)}};
    for (const auto &m : marked) {
        const QRectF r = detailed ? cellRect(m.col, m.row) : cellRect(m.col - 1, m.row - 1).united(cellRect(m.col + 1, m.row + 1));
        shapes.append({rectPath(r), detailed ? m.colour : m.colour.lighter(115)});
    }

    if (detailed) {
        QPainterPath thin;
        for (int i = 1; i < 9; ++i) {
            if (i % 3 == 0)
                continue;
            const qreal at = board.left() + i * cell;
            thin.addRect(QRectF(at - 1.5, board.top(), 3, board.height()));
            thin.addRect(QRectF(board.left(), at - 1.5, board.width(), 3));
        }
        thin.setFillRule(Qt::WindingFill);
        shapes.append({thin, QColor(150, 150, 150)});

        // The givens: digits in the board's ink, made into outlines so the
        // SVG needs no font.
        const struct { int col, row; char digit; } givens[] = {
            {0, 0, '5'}, {4, 1, '3'}, {8, 0, '7'}, {2, 3, '9'}, {6, 4, '1'},
            {1, 6, '8'}, {5, 7, '2'}, {3, 8, '6'}, {8, 8, '4'}, {7, 2, '2'}, {0, 5, '4'}};
        QFont font = sans(int(cell * 0.9));
        const QFontMetricsF metrics(font);
        QPainterPath digits;
        for (const auto &g : givens) {
            const QString text(QLatin1Char(g.digit));
            const QRectF r = cellRect(g.col, g.row);
            const QRectF ink = metrics.tightBoundingRect(text);
            const QPointF origin(r.center().x() - ink.center().x(), r.center().y() - ink.center().y());
            digits.addText(origin, font, text);
        }
        digits.setFillRule(Qt::WindingFill);
        shapes.append({digits, QColor(30, 30, 120)});
    }

    const qreal boxLine = detailed ? 7 : 14;
    QPainterPath boxes;
    for (int i = 1; i < 3; ++i) {
        const qreal at = board.left() + i * board.width() / 3.0;
        boxes.addRect(QRectF(at - boxLine / 2, board.top(), boxLine, board.height()));
        boxes.addRect(QRectF(board.left(), at - boxLine / 2, board.width(), boxLine));
    }
    boxes.setFillRule(Qt::WindingFill);
    shapes.append({boxes, Maroon});
    return shapes;
}

QImage iconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    p.setPen(Qt::NoPen);
    for (const IconShape &shape : iconShapes(size >= 48)) {
        p.setBrush(shape.fill);
        p.drawPath(shape.path);
    }
    return image;
}

QString svgNumber(qreal value)
{
    return QString::number(std::round(value * 100) / 100, 'g', 8);
}

QString svgPathData(const QPainterPath &path)
{
    QString d;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QString xy = svgNumber(e.x) + u' ' + svgNumber(e.y);
        if (e.isMoveTo()) {
            if (i > 0)
                d += QStringLiteral("Z");
            d += u'M' + xy;
        } else if (e.isLineTo()) {
            d += u'L' + xy;
        } else if (e.isCurveTo()) {
            const QPainterPath::Element c2 = path.elementAt(i + 1);
            const QPainterPath::Element end = path.elementAt(i + 2);
            d += u'C' + xy + u' ' + svgNumber(c2.x) + u' ' + svgNumber(c2.y) + u' ' + svgNumber(end.x) + u' '
                 + svgNumber(end.y);
            i += 2;
        }
    }
    return d + QStringLiteral("Z");
}

QByteArray iconSvg()
{
    QString svg = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                                 "viewBox=\"0 0 256 256\">\n");
    for (const IconShape &shape : iconShapes(true)) {
        svg += QStringLiteral("  <path fill=\"%1\" fill-rule=\"%2\" d=\"%3\"/>\n")
                   .arg(shape.fill.name(), shape.path.fillRule() == Qt::OddEvenFill ? QStringLiteral("evenodd")
                                                                                     : QStringLiteral("nonzero"),
                        svgPathData(shape.path));
    }
    svg += QStringLiteral("</svg>\n");
    return svg.toUtf8();
}

// Writes the icon theme's files under dir: NxN/PNAME.png and scalable/NAME.svg.
bool writeIcons(const QDir &dir, const QString &name)
{
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString sub = QStringLiteral("%1x%1").arg(size);
        if (!dir.mkpath(sub) || !iconImage(size).save(dir.filePath(sub + u'/' + name + QStringLiteral(".png"))))
            return false;
    }
    if (!dir.mkpath(QStringLiteral("scalable")))
        return false;
    QFile svg(dir.filePath(QStringLiteral("scalable/") + name + QStringLiteral(".svg")));
    return svg.open(QIODevice::WriteOnly) && svg.write(iconSvg()) > 0;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args.at(1) == QStringLiteral("--sheet")) {
        const QString jpegDir = args.size() >= 4 ? args.at(3) : QString();
        return sheet(jpegDir).save(args.at(2)) ? 0 : 1;
    }
    if (args.size() == 4 && args.at(1) == QStringLiteral("--icons"))
        return writeIcons(QDir(args.at(2)), args.at(3)) ? 0 : 1;
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: makeart OUTDIR | makeart --sheet FILE.png [JPEGDIR] | makeart --icons DIR NAME\n");
        return 2;
    }
    const QDir dir(args.at(1));
    if (!dir.exists() && !QDir().mkpath(dir.path()))
        return 1;
    const bool ok = writeJpeg(penaltyPicture(), dir.filePath(QStringLiteral("penalty.jpg")))
                    && writeJpeg(lobbyPicture(), dir.filePath(QStringLiteral("lobbyad.jpg")));
    return ok ? 0 : 1;
}
