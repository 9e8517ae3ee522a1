// The chat view: how a line is drawn (bold name, underlined links, colour),
// the hand over a link and its click, Scroll Chat Off, the line cap, and
// how often a busy chat repaints.
#include "windows/chatview.h"

#include "client/colortext.h"

#include <QElapsedTimer>

#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QtTest>

namespace {

// Counts the paint events of the widget it filters.
struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

struct Run
{
    QString text;
    bool bold;
    bool underlined;
    bool operator==(const Run &) const = default;
};

QList<Run> runsOf(const QTextBlock &block, QColor *colour)
{
    QList<Run> runs;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        runs.append({f.text(), f.charFormat().fontWeight() == QFont::Bold, f.charFormat().fontUnderline()});
        *colour = f.charFormat().foreground().color();
    }
    return runs;
}

} // namespace

Q_DECLARE_METATYPE(QList<Run>)

class TestChatView : public QObject
{
    Q_OBJECT

private slots:
    void lineFormat_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QList<Run>>("runs");
        QTest::newRow("notice") << "You are Connected." << QList<Run>{{"You are Connected.", false, false}};
        QTest::newRow("name in bold up to the first colon")
            << "Ann: a: b" << QList<Run>{{"Ann:", true, false}, {" a: b", false, false}};
        QTest::newRow("links underlined")
            << "Bob: see www.example.com and http://127.0.0.1/x now"
            << QList<Run>{{"Bob:", true, false},
                          {" see ", false, false},
                          {"www.example.com", false, true},
                          {" and ", false, false},
                          {"http://127.0.0.1/x", false, true},
                          {" now", false, false}};
        QTest::newRow("markup is text") << "<b>x</b>" << QList<Run>{{"<b>x</b>", false, false}};
    }

    void lineFormat()
    {
        QFETCH(QString, line);
        QFETCH(QList<Run>, runs);
        ChatView view;
        view.addlinetochat(QStringLiteral("first"), 0);
        view.addlinetochat(line, 0x0000FF); // red, as 00BBGGRR
        QCOMPARE(view.document()->blockCount(), 2);
        QColor colour;
        QCOMPARE(runsOf(view.document()->lastBlock(), &colour), runs);
        QCOMPARE(colour, QColor(Qt::red));
    }

    void linksShowAHandAndOpenOnAClick()
    {
        ChatView view;
        view.resize(264, 231);
        view.addlinetochat(QStringLiteral("Ann: go to www.example.com now"), 0);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QString text = view.document()->firstBlock().text();
        QTextCursor at(view.document());
        at.setPosition(int(text.indexOf(QLatin1String("example"))));
        const QPoint onLink = view.cursorRect(at).center();
        at.setPosition(int(text.indexOf(QLatin1String("go"))));
        const QPoint offLink = view.cursorRect(at).center();

        QTest::mouseMove(view.viewport(), onLink);
        QTRY_COMPARE(view.viewport()->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseMove(view.viewport(), offLink);
        QTRY_COMPARE(view.viewport()->cursor().shape(), Qt::IBeamCursor);

        QSignalSpy opened(&view, &ChatView::openLink);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, offLink);
        QCOMPARE(opened.size(), 0);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, onLink);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.at(0).at(0).toString(), QStringLiteral("http://www.example.com"));
    }

    void scrollChatOffKeepsTheViewStill()
    {
        for (const bool off : {true, false}) {
            ChatView view;
            view.resize(264, 231);
            view.show();
            for (int i = 0; i < 100; ++i)
                view.addlinetochat(QStringLiteral("line %1").arg(i), 0);
            QTRY_VERIFY(!view.frameOpen()); // all of them in, and a quiet spell
            QScrollBar *bar = view.verticalScrollBar();
            QVERIFY(bar->maximum() > 0);
            bar->setValue(3);
            view.scrollChatOff = off;
            view.addlinetochat(QStringLiteral("Ann: news"), 0);
            QCoreApplication::processEvents();
            if (off) {
                QCOMPARE(bar->value(), 3);
            } else {
                QCOMPARE(bar->value(), bar->maximum());
                QVERIFY(view.textCursor().atEnd());
            }
        }
    }

    void keepsTheNewestLines()
    {
        ChatView view;
        for (int i = 0; i < 6000; ++i)
            view.addlinetochat(QStringLiteral("line %1").arg(i), 0);
        QCOMPARE(view.document()->blockCount(), ChatView::MaxLines);
        QCOMPARE(ChatView::MaxLines, 5000);
        QCOMPARE(view.document()->firstBlock().text(), QStringLiteral("line 1000"));
        QCOMPARE(view.document()->lastBlock().text(), QStringLiteral("line 5999"));
    }

    // Lines arriving one per event-loop turn, as from a busy game: every line
    // is there in order and in its colour, the cap holds, the view follows
    // the end unless Scroll Chat Off is checked, and the view repaints at
    // most once a frame rather than once a line, yet the first line shows at
    // once.
    void busyChatRepaintsOncePerFrame_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("off");
        QTest::newRow("follows the end") << 100 << 200 << false;
        QTest::newRow("Scroll Chat Off stays") << 100 << 200 << true;
        QTest::newRow("past the cap") << ChatView::MaxLines - 50 << 200 << false;
    }

    void busyChatRepaintsOncePerFrame()
    {
        QFETCH(int, before);
        QFETCH(int, lines);
        QFETCH(bool, off);
        ChatView view;
        view.resize(264, 231);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        for (int i = 0; i < before; ++i)
            view.addlinetochat(QStringLiteral("old %1").arg(i), 0);
        QScrollBar *bar = view.verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 3 && bar->value() == bar->maximum());
        bar->setValue(3);
        view.scrollChatOff = off;

        PaintCounter counter;
        // A quiet spell: the frame the lines before opened has closed.
        QTRY_VERIFY(!view.frameOpen());
        QCoreApplication::processEvents();
        view.viewport()->installEventFilter(&counter);
        const auto colourOf = [](int i) { return quint32(0x010203) * quint32(i % 97); };
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < lines; ++i) {
            view.addlinetochat(QStringLiteral("Ann: line %1 www.example.com").arg(i), colourOf(i));
            QCoreApplication::processEvents();
            // The first line after a quiet spell shows at once where the
            // view follows the end: the next few event-loop turns paint it,
            // with no frame to wait for.
            const bool first = i == 0 && !off;
            for (int turn = 0; first && turn < 3 && counter.paints == 0; ++turn)
                QCoreApplication::processEvents();
            if (first)
                QCOMPARE(counter.paints, 1);
        }
        const qint64 elapsed = clock.elapsed();
        // The last frame's lines go in when it closes.
        QTRY_VERIFY(!view.frameOpen());
        QVERIFY(counter.paints > 0);
        // A frame may end a little early; allow for it and for the last frame.
        QVERIFY2(counter.paints <= 2 + elapsed * 10 / (ChatView::FrameMs * 9),
                 qPrintable(QStringLiteral("%1 paints in %2 ms").arg(counter.paints).arg(elapsed)));

        QTextDocument *doc = view.document();
        QCOMPARE(doc->blockCount(), std::min(ChatView::MaxLines, before + lines));
        QTextBlock block = doc->lastBlock();
        for (int i = lines - 1; i >= 0; --i, block = block.previous()) {
            QColor colour;
            const QList<Run> runs = runsOf(block, &colour);
            QCOMPARE(block.text(), QStringLiteral("Ann: line %1 www.example.com").arg(i));
            QCOMPARE(runs.size(), 3);
            QVERIFY(runs.at(0).bold && runs.at(2).underlined);
            QCOMPARE(colour, QColor::fromRgb(Bgr::toArgb(colourOf(i))));
        }
        QTRY_COMPARE(bar->value(), off ? 3 : bar->maximum());
        if (!off)
            QVERIFY(view.textCursor().atEnd());
    }

    // A busy chat at the end of a long view leaves its scroll bar unpainted
    // while the handle, at its smallest, stays where it is drawn; the bar is
    // repainted once the handle moves.
    void scrollBarRepaintsOnlyWhenItLooksDifferent()
    {
        ChatView view;
        view.resize(264, 231);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        for (int i = 0; i < 2000; ++i)
            view.addlinetochat(QStringLiteral("old %1").arg(i), 0);
        QScrollBar *bar = view.verticalScrollBar();
        QTRY_VERIFY(!view.frameOpen() && bar->value() == bar->maximum());
        QCoreApplication::processEvents();
        PaintCounter counter;
        bar->installEventFilter(&counter);
        const int maximum = bar->maximum();
        for (int i = 0; i < 200; ++i) {
            view.addlinetochat(QStringLiteral("Ann: line %1").arg(i), 0);
            QCoreApplication::processEvents();
        }
        QTRY_VERIFY(!view.frameOpen() && bar->maximum() > maximum && bar->value() == bar->maximum());
        QCoreApplication::processEvents();
        QCOMPARE(counter.paints, 0);
        bar->setValue(0);
        QTRY_VERIFY(counter.paints > 0);
    }

    // Busy chat is drawn ten times a second; a flood that lasts FloodFrames
    // frames in a row five times a second, until a frame passes without a
    // line.
    void aLongFloodIsDrawnLessOften()
    {
        ChatView view;
        view.resize(264, 231);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTextDocument *doc = view.document();
        for (int spell = 0; spell < 2; ++spell) {
            const int before = doc->isEmpty() ? 0 : doc->blockCount();
            view.addlinetochat(QStringLiteral("Ann: first"), 0);
            QCOMPARE(doc->blockCount(), before + 1);
            QCOMPARE(view.frameMs(), ChatView::FrameMs);
            const int frames = spell == 0 ? ChatView::FloodFrames + 1 : 2;
            for (int frame = 1; frame <= frames; ++frame) {
                view.addlinetochat(QStringLiteral("Ann: line %1").arg(frame), 0);
                // The next line must come while the frame after this one is
                // open: look as soon as this frame has closed.
                QDeadlineTimer deadline(5000);
                while (doc->blockCount() < before + 1 + frame && !deadline.hasExpired())
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
                QCOMPARE(doc->blockCount(), before + 1 + frame);
                QVERIFY(view.frameOpen());
                QCOMPARE(view.frameMs(), frame >= ChatView::FloodFrames ? ChatView::FloodFrameMs : ChatView::FrameMs);
            }
            QTRY_VERIFY(!view.frameOpen());
        }
    }

    // Clear Main Chat while a busy chat's lines wait for the frame's end:
    // none of them comes back once the frame closes, and the next line is
    // the view's only one.
    void clearTakesTheLinesWaitingForTheFrame()
    {
        ChatView view;
        view.resize(264, 231);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.addlinetochat(QStringLiteral("Ann: shown"), 0);
        view.addlinetochat(QStringLiteral("Ann: waiting 1"), 0);
        view.addlinetochat(QStringLiteral("Ann: waiting 2"), 0);
        QVERIFY(view.frameOpen());
        view.clearChat();
        QTRY_VERIFY(!view.frameOpen());
        QCOMPARE(view.toPlainText(), QString());
        view.addlinetochat(QStringLiteral("Bo: after"), 0);
        QTRY_COMPARE(view.toPlainText(), QStringLiteral("Bo: after"));
    }
};

QTEST_MAIN(TestChatView)
#include "test_chatview.moc"
