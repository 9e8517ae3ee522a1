#include "windows/tabout.h"

#include "app/launcher.h"
#include "ui/widgets.h"
#include "base/gamedefaults.h"

#include <QEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>

const char *const Tabout::WebAddress = "www.sudoku-game.example";

namespace {

QLabel *makeLabel(QWidget *parent, const QString &text, int x, int y, int px, bool bold = false)
{
    auto *label = new QLabel(text, parent);
    label->setFont(Widgets::arial(px, bold));
    label->move(x, y);
    label->adjustSize();
    return label;
}

} // namespace

Tabout::Tabout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tabout"));
    setWindowTitle(QStringLiteral("Sudoku - About"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(304, 174);
    move(206, 153);
    Widgets::applyTiledBackground(this);

    auto *logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("image_logo"));
    logo->setAccessibleName(QStringLiteral("Sudoku"));
    logo->setGeometry(35, 7, 235, 63);
    logo->setPixmap(QPixmap::fromImage(renderLogo()));

    m_address = new QLabel(this);
    m_address->setObjectName(QStringLiteral("Label7"));
    m_address->setGeometry(8, 80, 289, 20);
    m_address->setAlignment(Qt::AlignCenter);
    m_address->setFont(Widgets::arial(14, true));
    m_address->setTextFormat(Qt::RichText);
    m_address->setText(QStringLiteral("<a style=\"color:#1a3fa0\" href=\"http://%1\">%1</a>")
                           .arg(QString::fromLatin1(WebAddress)));
    m_address->setTextInteractionFlags(Qt::NoTextInteraction);
    m_address->setCursor(Qt::PointingHandCursor);
    m_address->installEventFilter(this);

    const QColor credits(96, 92, 141);
    const QStringList creditLines = {
        QStringLiteral("Sudoku for up to four players, with chat and spectators."),
        QStringLiteral("Written by the Sudoku developers."),
        QStringLiteral("Free software under the MIT licence."),
    };
    for (int i = 0; i < creditLines.size(); ++i) {
        QLabel *line = makeLabel(this, creditLines.at(i), 4, 104 + 14 * i, 11);
        line->setFixedWidth(296);
        line->setAlignment(Qt::AlignHCenter);
        QPalette pal = line->palette();
        pal.setColor(QPalette::WindowText, credits);
        line->setPalette(pal);
    }

    makeLabel(this, QStringLiteral("Version"), 8, 155, 12, true);
    m_version = makeLabel(this, QString::fromLatin1(Game::VersionText), 56, 155, 12, true);
    m_version->setObjectName(QStringLiteral("label_version"));
    // Display only: the version sent at login is the label before it.
    QLabel *build = makeLabel(this, QStringLiteral(".2"), 83, 155, 12, true);
    build->setObjectName(QStringLiteral("label_build"));
    build->move(m_version->x() + m_version->width(), 155);

    auto *done = new Widgets::PictureButton(QStringLiteral("Done"), this);
    done->setObjectName(QStringLiteral("button_done"));
    done->setFont(Widgets::arial(12, true));
    done->setGeometry(202, 148, 95, 20);
    connect(done, &QAbstractButton::clicked, this, &Tabout::Button1Click);
}

QString Tabout::versionText() const
{
    return m_version->text();
}

void Tabout::Label7Click()
{
    Launcher::instance().openUrl(QUrl(QStringLiteral("http://") + QString::fromLatin1(WebAddress)));
}

void Tabout::Button1Click()
{
    hide();
}

bool Tabout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_address && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        Label7Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QImage Tabout::renderLogo()
{
    QImage image(235, 63, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // A small board: a maroon tile with a 3 x 3 grid and a few digits.
    const QRectF tile(4, 4, 55, 55);
    QLinearGradient face(tile.topLeft(), tile.bottomLeft());
    face.setColorAt(0, QColor(168, 36, 36));
    face.setColorAt(1, QColor(104, 0, 0));
    p.setPen(QPen(QColor(70, 0, 0), 1.5));
    p.setBrush(face);
    p.drawRoundedRect(tile, 8, 8);
    const QRectF grid = tile.adjusted(7, 7, -7, -7);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 250, 244));
    p.drawRoundedRect(grid, 2, 2);
    p.setPen(QPen(QColor(104, 0, 0), 1.2));
    const qreal step = grid.width() / 3;
    for (int i = 1; i < 3; ++i) {
        p.drawLine(QPointF(grid.left() + i * step, grid.top()), QPointF(grid.left() + i * step, grid.bottom()));
        p.drawLine(QPointF(grid.left(), grid.top() + i * step), QPointF(grid.right(), grid.top() + i * step));
    }
    p.setFont(Widgets::arial(11, true));
    const char *digits = "5 3  7 9 ";
    for (int i = 0; i < 9; ++i) {
        if (digits[i] == ' ')
            continue;
        const QRectF cell(grid.left() + (i % 3) * step, grid.top() + (i / 3) * step, step, step);
        p.setPen(i == 4 ? QColor(0, 128, 0) : QColor(30, 30, 30));
        p.drawText(cell, Qt::AlignCenter, QString(QChar(digits[i])));
    }

    // The name, with a soft shadow.
    QFont title = Widgets::arial(44, true);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    QPainterPath text;
    text.addText(68, 48, title, QStringLiteral("Sudoku"));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 45));
    p.drawPath(text.translated(2, 2));
    QLinearGradient ink(0, 12, 0, 50);
    ink.setColorAt(0, QColor(150, 24, 24));
    ink.setColorAt(1, QColor(96, 0, 0));
    p.setBrush(ink);
    p.setPen(QPen(QColor(70, 0, 0), 0.8));
    p.drawPath(text);
    return image;
}
