#include "client/linkfinder.h"

#include <QTest>

class TestLinkFinder : public QObject
{
    Q_OBJECT

private slots:
    void findsLinks_data();
    void findsLinks();
    void rejectsNonLinks_data();
    void rejectsNonLinks();
    void findsEveryLinkOfALine();
    void firstPrefixInOrderWins();
    void linkAtAPosition();
};

void TestLinkFinder::findsLinks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("start");
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<QString>("url");

    QTest::newRow("www with full stop") << "see www.example.com." << qsizetype(4) << qsizetype(15)
                                        << "http://www.example.com";
    QTest::newRow("http") << "http://a.b/c" << qsizetype(0) << qsizetype(12) << "http://a.b/c";
    QTest::newRow("trailing slash kept") << "ftp://host/dir/ ok" << qsizetype(0) << qsizetype(15)
                                         << "ftp://host/dir/";
    QTest::newRow("several trailing marks") << "(http://x.org/?q=1&p=2)!!" << qsizetype(1)
                                            << qsizetype(21) << "http://x.org/?q=1&p=2";
    QTest::newRow("prefix inside a word") << "look:www.foo.net, now" << qsizetype(5) << qsizetype(11)
                                          << "http://www.foo.net";
    QTest::newRow("upper case prefix keeps its case") << "HTTP://Foo.COM" << qsizetype(0)
                                                      << qsizetype(14) << "HTTP://Foo.COM";
    QTest::newRow("mailto") << "mail mailto:ann@x.org;" << qsizetype(5) << qsizetype(16)
                            << "mailto:ann@x.org";
    QTest::newRow("news") << "news:comp.lang" << qsizetype(0) << qsizetype(14) << "news:comp.lang";
    QTest::newRow("file") << "file:///tmp/a.txt" << qsizetype(0) << qsizetype(17)
                          << "file:///tmp/a.txt";
    QTest::newRow("gopher") << "gopher://g.net/1" << qsizetype(0) << qsizetype(16)
                            << "gopher://g.net/1";
    QTest::newRow("telnet") << "telnet://bbs:23" << qsizetype(0) << qsizetype(15)
                            << "telnet://bbs:23";
    QTest::newRow("ended by line feed") << "a\nwww.x.com\r\nb" << qsizetype(2) << qsizetype(9)
                                        << "http://www.x.com";
    QTest::newRow("after a chat prefix") << "Ann chats: http://h.io" << qsizetype(11)
                                         << qsizetype(11) << "http://h.io";
    QTest::newRow("trailing non-ASCII letter dropped")
        << QString::fromUtf8("www.zo\xc3\xab") << qsizetype(0) << qsizetype(6) << "http://www.zo";
}

void TestLinkFinder::findsLinks()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, start);
    QFETCH(qsizetype, length);
    QFETCH(QString, url);

    const QList<LinkRange> links = LinkFinder::findLinks(text);
    QCOMPARE(links.size(), 1);
    QCOMPARE(links[0].start, start);
    QCOMPARE(links[0].length, length);
    QCOMPARE(links[0].url, url);
}

void TestLinkFinder::rejectsNonLinks_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("bare http") << "http://";
    QTest::newRow("bare http with full stop") << "http://.";
    QTest::newRow("bare www") << "www.";
    QTest::newRow("www and marks") << "www.!?";
    QTest::newRow("bare mailto") << "mailto:";
    QTest::newRow("no prefix") << "example.com is fine";
    QTest::newRow("prefix split by a blank") << "http: //x.com";
    QTest::newRow("empty") << "";
    QTest::newRow("only breaks") << " \r\n ";
}

void TestLinkFinder::rejectsNonLinks()
{
    QFETCH(QString, text);
    QVERIFY(LinkFinder::findLinks(text).isEmpty());
}

void TestLinkFinder::findsEveryLinkOfALine()
{
    const QString line = QStringLiteral("Bo chats: try www.a.com, or http://b.org/x then news:c");
    const QList<LinkRange> links = LinkFinder::findLinks(line);
    QCOMPARE(links.size(), 3);
    QCOMPARE(line.mid(links[0].start, links[0].length), QStringLiteral("www.a.com"));
    QCOMPARE(line.mid(links[1].start, links[1].length), QStringLiteral("http://b.org/x"));
    QCOMPARE(line.mid(links[2].start, links[2].length), QStringLiteral("news:c"));
    QCOMPARE(links[2].url, QStringLiteral("news:c"));
}

void TestLinkFinder::firstPrefixInOrderWins()
{
    // "http://" is tried before "www." although it stands later in the word.
    const QList<LinkRange> a = LinkFinder::findLinks(u"www.x.com/http://y.org");
    QCOMPARE(a.size(), 1);
    QCOMPARE(a[0].start, qsizetype(10));
    QCOMPARE(a[0].url, QStringLiteral("http://y.org"));

    // The first prefix found decides; when its link is too short no later
    // prefix is tried.
    QVERIFY(LinkFinder::findLinks(u"www.x.com/http://").isEmpty());

    // The first occurrence of the winning prefix starts the link.
    const QList<LinkRange> b = LinkFinder::findLinks(u"mailto:mailto:z");
    QCOMPARE(b.size(), 1);
    QCOMPARE(b[0].start, qsizetype(0));
    QCOMPARE(b[0].length, qsizetype(15));
}

void TestLinkFinder::linkAtAPosition()
{
    const QString text = QStringLiteral("go xxwww.site.org. now\r\nhttp://");
    const LinkRange site{5, 12, QStringLiteral("http://www.site.org")};

    // Anywhere on the word, its letters before the prefix and its dropped
    // full stop included.
    QCOMPARE(LinkFinder::linkAt(text, 3), std::optional<LinkRange>(site));
    QCOMPARE(LinkFinder::linkAt(text, 10), std::optional<LinkRange>(site));
    QCOMPARE(LinkFinder::linkAt(text, 17), std::optional<LinkRange>(site));

    QCOMPARE(LinkFinder::linkAt(text, 2), std::nullopt);  // the blank
    QCOMPARE(LinkFinder::linkAt(text, 0), std::nullopt);  // "go"
    QCOMPARE(LinkFinder::linkAt(text, 22), std::nullopt); // carriage return
    QCOMPARE(LinkFinder::linkAt(text, 26), std::nullopt); // bare "http://"
    QCOMPARE(LinkFinder::linkAt(text, text.size()), std::nullopt);
    QCOMPARE(LinkFinder::linkAt(text, 1000), std::nullopt);
    QCOMPARE(LinkFinder::linkAt(text, -1), std::nullopt);

    // A rich text view's paragraph separator ends a word like a line feed.
    const QString doc = QStringLiteral("www.a.io") + QChar(QChar::ParagraphSeparator)
        + QStringLiteral("tail");
    QCOMPARE(LinkFinder::linkAt(doc, 9), std::nullopt);
    QCOMPARE(LinkFinder::linkAt(doc, 0)->url, QStringLiteral("http://www.a.io"));
}

QTEST_APPLESS_MAIN(TestLinkFinder)
#include "test_linkfinder.moc"
