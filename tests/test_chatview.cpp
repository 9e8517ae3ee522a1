// The chat view: how a line is drawn (bold name, underlined links, colour),
// the hand over a link and its click, Scroll Chat Off, and the line cap.
#include "windows/chatview.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QtTest>

namespace {

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
};

QTEST_MAIN(TestChatView)
#include "test_chatview.moc"
