#include "windows/thelp.h"

#include "app/launcher.h"
#include "windows/tabout.h"
#include "ui/widgets.h"
#include "base/gamedefaults.h"

#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QTextDocument>

namespace {

struct PageButton
{
    int y;
    const char *caption;
    int tag;
};

constexpr PageButton PageButtons[] = {
    {8, "Overview", 1},    {32, "Connecting", 2},     {56, "Game Play", 3}, {80, "Game Modes", 7},
    {104, "Scoring", 4},   {128, "Documentation", 5}, {152, "License", 6},
};

const char *const PageStyle =
    "<style>"
    "body { color: #202020; }"
    "h2 { font-size: 18px; color: #800000; margin-bottom: 6px; }"
    "h3 { font-size: 14px; color: #605c8d; margin-top: 10px; margin-bottom: 2px; }"
    "p { margin-top: 3px; margin-bottom: 5px; }"
    "li { margin-bottom: 3px; }"
    "</style>";

QString licenceText()
{
    QFile file(QStringLiteral(":/help/LICENSE"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QPushButton *makeSideButton(QWidget *parent, const QString &caption, int y)
{
    auto *button = new QPushButton(caption, parent);
    button->setGeometry(10, y, 117, 20);
    button->setFont(Widgets::arial(12, true));
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(QStringLiteral(
        "QPushButton { text-align: left; padding-left: 6px; color: black; border: 1px solid black;"
        " background: rgb(212, 208, 200); }"
        "QPushButton:hover { background: rgb(232, 228, 220); color: rgb(128, 0, 0); }"
        "QPushButton:pressed { background: rgb(190, 186, 178); }"
        "QPushButton:checked { background: rgb(128, 0, 0); color: white; }"));
    return button;
}

} // namespace

Thelp::Thelp(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Thelp"));
    setWindowTitle(QStringLiteral("Sudoku - Help File"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(521, 422);
    move(153, 69);
    Widgets::applyTiledBackground(this);

    // Left: the page buttons.
    auto *side = new QFrame(this);
    side->setObjectName(QStringLiteral("panel_side"));
    side->setGeometry(0, 0, 137, 422);
    side->setStyleSheet(QStringLiteral("QFrame#panel_side { border: 1px solid black; background: transparent; }"));
    for (const PageButton &page : PageButtons) {
        QPushButton *button = makeSideButton(side, QString::fromLatin1(page.caption), page.y);
        button->setObjectName(QStringLiteral("SelButton") + QString::number(page.tag));
        button->setProperty("Tag", page.tag);
        button->setCheckable(true);
        button->setAutoExclusive(true);
        connect(button, &QPushButton::clicked, this, &Thelp::SelButton1Click);
    }
    QPushButton *about = makeSideButton(side, QStringLiteral("About"), 176);
    about->setObjectName(QStringLiteral("button_about"));
    about->setProperty("Tag", 10);
    connect(about, &QPushButton::clicked, this, &Thelp::button_aboutClick);
    QPushButton *done = makeSideButton(side, QStringLiteral("Done"), 396);
    done->setObjectName(QStringLiteral("button_done"));
    done->setProperty("Tag", 10);
    connect(done, &QPushButton::clicked, this, &Thelp::button_doneClick);

    auto *credits = new QLabel(side);
    credits->setObjectName(QStringLiteral("label_credits"));
    credits->setGeometry(4, 328, 129, 48);
    credits->setAlignment(Qt::AlignCenter);
    credits->setFont(Widgets::arial(10));
    credits->setText(QStringLiteral("Sudoku ") + QString::fromLatin1(Game::VersionText) + QStringLiteral("\nby the Sudoku developers\nwww.sudoku-game.example\nMIT licence"));
    QPalette creditPalette = credits->palette();
    creditPalette.setColor(QPalette::WindowText, QColor(96, 92, 141));
    credits->setPalette(creditPalette);

    // Right: caption and pages.
    auto *main = new QFrame(this);
    main->setObjectName(QStringLiteral("panel_main"));
    main->setGeometry(137, 0, 384, 422);
    main->setStyleSheet(QStringLiteral("QFrame#panel_main { border: 1px solid black; background: white; }"));
    m_caption = new QLabel(main);
    m_caption->setObjectName(QStringLiteral("label_caption"));
    m_caption->setGeometry(1, 1, 382, 20);
    m_caption->setFont(Widgets::arial(13, true));
    m_caption->setIndent(6);
    m_caption->setStyleSheet(QStringLiteral("QLabel { background: rgb(218, 216, 205); color: rgb(64, 0, 0); }"));

    m_pages = new QStackedWidget(main);
    m_pages->setGeometry(1, 21, 382, 400);
    for (int n = 1; n <= PageCount; ++n) {
        auto *memo = new QTextBrowser(m_pages);
        memo->setObjectName(QStringLiteral("memo") + QString::number(n));
        memo->setAccessibleName(QStringLiteral("Help page"));
        memo->setFrameShape(QFrame::NoFrame);
        memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo->setOpenLinks(false);
        memo->document()->setDefaultFont(Widgets::arial(13));
        memo->document()->setDocumentMargin(8);
        memo->setHtml(pageText(n));
        QPalette pal = memo->palette();
        pal.setColor(QPalette::Base, Qt::white);
        memo->setPalette(pal);
        connect(memo, &QTextBrowser::anchorClicked, this, [](const QUrl &url) { Launcher::instance().openUrl(url); });
        m_pages->addWidget(memo);
        m_memo[n - 1] = memo;
    }
    showPage(1);
}

int Thelp::currentPage() const
{
    return m_pages->currentIndex() + 1;
}

void Thelp::showPage(int n)
{
    if (n < 1 || n > PageCount)
        return;
    m_pages->setCurrentWidget(m_memo[n - 1]);
    for (const PageButton &page : PageButtons) {
        if (page.tag != n)
            continue;
        m_caption->setText(QString::fromLatin1(page.caption));
        if (auto *button = findChild<QPushButton *>(QStringLiteral("SelButton") + QString::number(n)))
            button->setChecked(true);
    }
}

void Thelp::SelButton1Click()
{
    if (auto *button = qobject_cast<QPushButton *>(sender()))
        showPage(button->property("Tag").toInt());
}

void Thelp::button_aboutClick()
{
    emit aboutRequested();
    Tabout *about = m_about;
    if (!about) {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if ((about = qobject_cast<Tabout *>(widget)))
                break;
        }
    }
    if (about) {
        about->show();
        about->raise();
    }
}

void Thelp::button_doneClick()
{
    hide();
}

QString Thelp::pageText(int n)
{
    QString body;
    switch (n) {
    case 1:
        body = QStringLiteral(
            "<h2>Welcome to Sudoku</h2>"
            "<p>This is Sudoku for company. Up to four players work on the same puzzle at the same time, "
            "each on a board of their own, while up to five more people can watch the game and everybody "
            "can talk in the chat room beside the board.</p>"
            "<p>Played alone it is a quiet game of Sudoku against the clock. Played with others it becomes "
            "a race: every right number you confirm scores, and every wrong one costs.</p>"
            "<p>Use the buttons on the left to read how to connect, how to play, what the three game modes "
            "are and how points are scored.</p>"
            "<p>Have fun, and be kind in the chat!</p>");
        break;
    case 2:
        body = QStringLiteral(
            "<h2>Connecting</h2>"
            "<h3>Playing alone</h3>"
            "<p>When you start Sudoku on its own, it starts a solo game on your computer. No network is "
            "needed: press the <b>Start Game</b> button, pick a game mode and a difficulty, and play "
            "offline.</p>"
            "<h3>Playing with others</h3>"
            "<p>Games with other people are arranged in the lobby. Choose a name there and either host a "
            "game or join one; the lobby then starts Sudoku for you, already connected.</p>"
            "<p>Every game runs over TCP port <b>%1</b>. The player who hosts a game runs it on their own "
            "computer, so the others connect to that computer. If nobody can ever join the games you host, "
            "your firewall or router is blocking them: allow incoming connections on port %1 (and forward "
            "that port to your computer if you are behind a router).</p>"
            "<h3>When the host leaves</h3>"
            "<p>The host is usually the first player in the list. If the host disconnects or closes the "
            "game, the game ends for everybody.</p>").arg(Game::GamePort);
        break;
    case 3:
        body = QStringLiteral(
            "<h2>Game Play</h2>"
            "<h3>The rules</h3>"
            "<p>The board has nine rows, nine columns and nine 3&times;3 boxes. Fill every empty square with "
            "a number from 1 to 9 so that each row, each column and each box holds every number exactly "
            "once. The numbers already on the board at the start are the givens and cannot be changed.</p>"
            "<h3>Entering numbers</h3>"
            "<ul>"
            "<li>Click a square with the <b>left mouse button</b> to select it. A strip of numbers opens "
            "beside it: click a number to put it in the square, or the dash to empty the square.</li>"
            "<li>If you prefer the keyboard, choose <i>Options &rarr; Select Numbers By &rarr; Typing</i>. "
            "Clicking a square then opens a small typing box over it: type a number, or 0 to empty the "
            "square.</li>"
            "<li>The <b>arrow keys</b> move the selection from square to square; the <b>digit keys</b> "
            "enter a number in the selected square and <b>Delete</b> (or 0) erases it.</li>"
            "<li>Click an empty square with the <b>right mouse button</b> to open the pencil strip. Pencil "
            "marks are small grey numbers to help you think; click a number again to remove its mark, or "
            "the dash to remove them all. Only you see your pencil marks.</li>"
            "</ul>"
            "<h3>Check and Clear</h3>"
            "<p>The numbers you enter are black until they are checked. Press <b>Check</b> to send them to "
            "the host: the right ones turn <font color=\"#008000\">green</font> and stay. Boxes holding a "
            "wrong number are highlighted, and the wrong numbers stay black so you can change them. In "
            "Score and Show, numbers that another player found first appear in "
            "<font color=\"#0000ff\">blue</font>.</p>"
            "<p>Press <b>Clear</b> to remove all your black numbers and the pencil marks of empty squares. "
            "Green, blue and given numbers stay.</p>");
        break;
    case 4:
        body = QStringLiteral(
            "<h2>Scoring</h2>"
            "<h3>Score and Show</h3>"
            "<p>Each Check scores the right numbers it places in a rising run: the first right number is "
            "worth 1 point, the second 2, the third 3, and so on, so a Check with four new right numbers "
            "earns 1 + 2 + 3 + 4 = 10 points. Every wrong number costs 3 points. It pays to be sure before "
            "you check, and to check several numbers at once.</p>"
            "<h3>Score and Hide</h3>"
            "<p>Scored the same way, and every number that you place correctly the first time earns 3 "
            "points more. Wrong numbers cost 3 points here too.</p>"
            "<h3>First to Complete</h3>"
            "<p>No points are kept. The score beside each name shows how many squares that player has "
            "filled, and the first to fill the whole board wins.</p>"
            "<p>The bonus shown beside a score is what the player's last Check earned.</p>");
        break;
    case 5:
        body = QStringLiteral(
            "<h2>Documentation</h2>"
            "<h3>Acknowledgements</h3>"
            "<p>Sudoku is built with these libraries; our thanks go to their authors.</p>"
            "<ul>"
            "<li><b>Qt</b> &ndash; the windows, the network and the sounds (The Qt Company, LGPL).</li>"
            "<li><b>SimpleIni</b> &ndash; the settings file (Brodie Thiesfield, MIT licence).</li>"
            "<li><b>libcurl</b> &ndash; the lobby download (Daniel Stenberg and contributors, curl "
            "licence).</li>"
            "<li><b>libjpeg</b> &ndash; the JPEG pictures. This software is based in part on the work of "
            "the Independent JPEG Group.</li>"
            "</ul>"
            "<h3>Version history</h3>"
            "<p><b>1.0.2</b> &ndash; Keyboard play: the arrow keys move the selection, digit keys and Delete "
            "enter and erase. The settings and the tally are saved safely. Spectators can be removed by the "
            "host.</p>"
            "<p><b>1.0.1</b> &ndash; Chatter sounds, phrase buttons that can be edited, and the tally of "
            "results against other players.</p>"
            "<p><b>1.0.0</b> &ndash; First release: three game modes, three difficulties, up to four "
            "players and five spectators, chat.</p>");
        break;
    case 6:
        // The licence file's paragraphs, reflowed to the page's width.
        body = QStringLiteral("<h2>License</h2>");
        for (const QString &paragraph : licenceText().split(QStringLiteral("\n\n"), Qt::SkipEmptyParts))
            body += QStringLiteral("<p>") + paragraph.simplified().toHtmlEscaped() + QStringLiteral("</p>");
        break;
    case 7:
        body = QStringLiteral(
            "<h2>Game Modes</h2>"
            "<h3>Score and Show</h3>"
            "<p>Everybody plays on one shared board. When a player checks a right number, it appears on "
            "every board, so the puzzle fills up from all sides and the numbers others found help you "
            "along. Each Check scores points, and the highest score when the board is full wins.</p>"
            "<h3>Score and Hide</h3>"
            "<p>Every player fills a private copy of the puzzle; right numbers are shown only to the "
            "player who placed them. Checks score points as in Score and Show, with a bonus for each number "
            "you place first. The game ends when someone fills their board, and the highest score "
            "wins.</p>"
            "<h3>First to Complete</h3>"
            "<p>A pure race on private copies. There are no points: the first player to fill the whole "
            "board correctly wins.</p>");
        break;
    default:
        return QString();
    }
    return QString::fromLatin1(PageStyle) + body;
}
