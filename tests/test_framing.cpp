#include "net/dispatcher.h"
#include "base/errors.h"
#include "net/fieldreader.h"
#include "net/framebuffer.h"
#include "net/messages.h"

#include <QElapsedTimer>
#include <QtTest>

namespace {

const char FF = '\xFF';

// A dispatcher whose handlers write what they were given into a log.
struct Recorder
{
    Dispatcher dispatcher;
    QStringList log;
    QStringList errors;

    explicit Recorder(int tickMs = 10) : dispatcher(tickMs)
    {
        for (const QByteArray &name : Msg::hostNames()) {
            dispatcher.setHandler(name, [this, name](const QByteArray &args, int origin) {
                log << QString::fromLatin1(name + '|' + args + '|' + QByteArray::number(origin));
            });
        }
        dispatcher.setErrorSink([this](const QString &text) { errors << text; });
    }
    void drain()
    {
        while (dispatcher.dispatchOne()) {
        }
    }
};

} // namespace

class TestFraming : public QObject
{
    Q_OBJECT

private slots:
    void cutsMessagesAtTerminators();
    void joinsMessagesSplitOverReads();
    void boundsPendingText();
    void dispatchesByExactName();
    void takesOriginsInTurn();
    void handlerErrorEndsOnlyThatHandler();
    void timerRunsOnlyWhileEntriesWait();
    void timerDispatchesOneEntryPerTick();
    void readsFields();
    void refusesNonIntegerFields_data();
    void refusesNonIntegerFields();
    void buildsTheWorkedExamples();
};

void TestFraming::cutsMessagesAtTerminators()
{
    FrameBuffer buffer;
    // Two messages in one read, ending exactly on the terminator.
    QCOMPARE(buffer.append(QByteArray("CMD_chat+1+a|clRed") + FF + "CMD_full+" + FF),
             (QList<QByteArray>{"CMD_chat+1+a|clRed", "CMD_full+"}));
    QCOMPARE(buffer.pending(), QByteArray());

    // Two terminators in a row give an empty entry between them.
    QCOMPARE(buffer.append(QByteArray("a") + FF + FF + "b" + FF),
             (QList<QByteArray>{"a", "", "b"}));
    QVERIFY(buffer.pending().isEmpty());

    // Any byte but the terminator is text, a NUL included.
    const QByteArray withNul("CMD_chat+1+x\0y|clRed", 20);
    QCOMPARE(buffer.append(withNul + FF), QList<QByteArray>{withNul});

    QCOMPARE(FrameBuffer::frame("CMD_full+"), QByteArray("CMD_full+\xFF"));
    QCOMPARE(FrameBuffer::frame(""), QByteArray(1, FF));
}

void TestFraming::joinsMessagesSplitOverReads()
{
    FrameBuffer buffer;
    QVERIFY(buffer.append("CMD_check").isEmpty());
    QCOMPARE(buffer.pending(), QByteArray("CMD_check"));
    QVERIFY(buffer.append("it+2+3").isEmpty());
    QCOMPARE(buffer.append(QByteArray("+7+4") + FF + "CMD_ch"),
             QList<QByteArray>{"CMD_checkit+2+3+7+4"});
    QCOMPARE(buffer.pending(), QByteArray("CMD_ch"));
    QCOMPARE(buffer.append(QByteArray("at+1+hi|clBlack") + FF),
             QList<QByteArray>{"CMD_chat+1+hi|clBlack"});
    QVERIFY(buffer.pending().isEmpty());

    // Byte by byte: the same messages, nothing lost or doubled.
    const QByteArray wire = QByteArray("CMD_a+1") + FF + FF + "CMD_b+2" + FF + "CMD_c";
    QList<QByteArray> got;
    FrameBuffer slow;
    for (char c : wire)
        got += slow.append(QByteArray(1, c));
    QCOMPARE(got, (QList<QByteArray>{"CMD_a+1", "", "CMD_b+2"}));
    QCOMPARE(slow.pending(), QByteArray("CMD_c"));
}

void TestFraming::boundsPendingText()
{
    FrameBuffer buffer;
    buffer.append(QByteArray(FrameBuffer::MaxPending, 'x'));
    QVERIFY(!buffer.overflowed());
    buffer.append("x");
    QVERIFY(buffer.overflowed());
    // A terminator ends the long text; what follows starts afresh.
    const QList<QByteArray> out = buffer.append(QByteArray(1, FF) + "y");
    QCOMPARE(out.size(), 1);
    QCOMPARE(out.first().size(), FrameBuffer::MaxPending + 1);
    QVERIFY(!buffer.overflowed());
    QCOMPARE(buffer.pending(), QByteArray("y"));

    // With a message limit, the limit counts the terminator, whatever the
    // pieces; a message one byte too long is refused even before it ends.
    const qsizetype max = FrameBuffer::MaxMessage;
    for (qsizetype piece : {qsizetype(1000), qsizetype(4096), max + 10}) {
        for (qsizetype length : {max - 1, max}) {
            for (bool terminated : {true, false}) {
                FrameBuffer limited(max);
                const QByteArray wire = "ok" + QByteArray(1, FF) + QByteArray(length, 'x')
                                        + (terminated ? QByteArray(1, FF) + "ok" + FF : QByteArray());
                QList<QByteArray> got;
                for (qsizetype at = 0; at < wire.size(); at += piece)
                    got += limited.append(wire.mid(at, piece));
                const QString row = QStringLiteral("piece %1 length %2 %3").arg(piece).arg(length).arg(terminated);
                QVERIFY2(limited.overflowed() == (length == max), qPrintable(row));
                QCOMPARE(got.size(), length == max ? 1 : terminated ? 3 : 1);
                QCOMPARE(got.first(), QByteArray("ok"));
            }
        }
    }
}

void TestFraming::dispatchesByExactName()
{
    Recorder r;
    r.dispatcher.enqueue("CMD_full", 1);           // no "+": no name
    r.dispatcher.enqueue("", 1);                   // two terminators in a row
    r.dispatcher.enqueue("+CMD_chat+1+x", 1);      // empty name
    r.dispatcher.enqueue("cmd_chat+1+hi|clRed", 1); // other letter case
    r.dispatcher.enqueue("CMD_chatx+1+hi", 1);     // longer name
    r.dispatcher.enqueue("CMD_cha+1+hi", 1);       // shorter name
    r.dispatcher.enqueue("CMD_sendlogininfo+1", 1); // the other side's name
    r.dispatcher.enqueue("CMD_chat+1+a+b|clRed", 1);
    r.dispatcher.enqueue("CMD_kickhim+", 1);
    QCOMPARE(r.dispatcher.size(), 9);
    QCOMPARE(r.dispatcher.pendingFrom(1), 9);

    // One entry per call, in queue order; dropped entries still use their turn.
    for (int i = 0; i < 7; ++i)
        QVERIFY(r.dispatcher.dispatchOne());
    QVERIFY(r.log.isEmpty());
    QVERIFY(r.dispatcher.dispatchOne());
    QCOMPARE(r.log, QStringList{"CMD_chat|1+a+b|clRed|1"});
    QVERIFY(r.dispatcher.dispatchOne());
    QCOMPARE(r.log.last(), QStringLiteral("CMD_kickhim||1"));
    QVERIFY(!r.dispatcher.dispatchOne());
    QVERIFY(r.errors.isEmpty());
}

void TestFraming::takesOriginsInTurn()
{
    Recorder r;
    // A backlog from origin 1, then one or two entries from two others.
    for (const char *m : {"a", "b", "c", "d"})
        r.dispatcher.enqueue(QByteArray("CMD_chat+") + m, 1);
    r.dispatcher.enqueue("CMD_chat+x", 2);
    r.dispatcher.enqueue("CMD_chat+y", 3);
    r.dispatcher.enqueue("CMD_chat+z", 2);
    r.dispatcher.enqueue("CMD_chat+gone", 4);
    r.dispatcher.enqueue("CMD_chat+gone too", 4);
    // An origin whose peer has left loses what it had queued.
    r.dispatcher.discard(4);
    QCOMPARE(r.dispatcher.size(), 7);
    QCOMPARE(r.dispatcher.pendingFrom(4), 0);
    QVERIFY(r.dispatcher.dispatchOne());
    // An origin that comes back joins the turn at the end.
    r.dispatcher.enqueue("CMD_chat+w", 3);
    r.drain();
    // Each origin keeps its order; no origin waits behind another's backlog.
    QCOMPARE(r.log, (QStringList{"CMD_chat|a|1", "CMD_chat|x|2", "CMD_chat|y|3", "CMD_chat|b|1",
                                 "CMD_chat|z|2", "CMD_chat|w|3", "CMD_chat|c|1", "CMD_chat|d|1"}));
    QVERIFY(!r.dispatcher.timerActive());

    // Where chat is words, a game message from an origin with nothing
    // waiting goes before every origin already waiting, after earlier such
    // moves; an origin's own order never changes.
    r.log.clear();
    r.dispatcher.setWords({"CMD_chat", "CMD_action", "CMD_playasound"});
    for (const char *m : {"a", "b"})
        r.dispatcher.enqueue(QByteArray("CMD_chat+") + m, 1);
    r.dispatcher.enqueue("CMD_chat+x", 2);
    r.dispatcher.enqueue("CMD_checkit+13", 13);
    r.dispatcher.enqueue("CMD_action+13", 13);
    r.dispatcher.enqueue("CMD_checkit+1", 1);
    r.dispatcher.enqueue("CMD_startgame+5", 5);
    r.dispatcher.enqueue("CMD_checkit+6", 6);
    r.dispatcher.enqueue("CMD_playasound+7", 7);
    r.dispatcher.discard(5);
    QVERIFY(r.dispatcher.dispatchOne());
    r.dispatcher.enqueue("CMD_kickhim+8", 8);
    r.drain();
    QCOMPARE(r.log, (QStringList{"CMD_checkit|13|13", "CMD_checkit|6|6", "CMD_kickhim|8|8", "CMD_chat|a|1",
                                 "CMD_chat|x|2", "CMD_playasound|7|7", "CMD_action|13|13", "CMD_chat|b|1",
                                 "CMD_checkit|1|1"}));

    // An origin that sends a move each tick does not go first each time: it
    // goes first again only once as many ticks have passed as origins wait
    // (a tick of a minute here, so that the test never waits on the clock).
    Recorder slow(60000);
    slow.dispatcher.setWords({"CMD_chat"});
    for (const char *m : {"CMD_chat+p", "CMD_chat+q"})
        slow.dispatcher.enqueue(m, 1);
    slow.dispatcher.enqueue("CMD_chat+r", 2);
    slow.dispatcher.enqueue("CMD_justwatch+9", 9);
    QVERIFY(slow.dispatcher.dispatchOne());
    slow.dispatcher.enqueue("CMD_justwatch+9 again", 9);
    slow.drain();
    QCOMPARE(slow.log, (QStringList{"CMD_justwatch|9|9", "CMD_chat|p|1", "CMD_chat|r|2", "CMD_justwatch|9 again|9",
                                    "CMD_chat|q|1"}));
}

void TestFraming::handlerErrorEndsOnlyThatHandler()
{
    Dispatcher dispatcher(10);
    QStringList errors;
    QList<int> done;
    dispatcher.setErrorSink([&](const QString &text) { errors << text; });
    dispatcher.setHandler("CMD_checkit", [&](const QByteArray &args, int) {
        FieldReader f(args);
        while (!f.atEnd())
            done << f.takeInt(); // what was read before the bad field stays done
    });
    dispatcher.setHandler("CMD_kickhim", [&](const QByteArray &, int) {
        throw ESockException(QStringLiteral("Send - Socket Not Connected"));
    });
    dispatcher.enqueue("CMD_checkit+2+3+x+4");
    dispatcher.enqueue("CMD_kickhim+1+2+");
    dispatcher.enqueue("CMD_checkit+5");
    QVERIFY(dispatcher.dispatchOne());
    QCOMPARE(done, (QList<int>{2, 3}));
    QCOMPARE(errors, QStringList{"'x' is not a valid integer value"});
    QVERIFY(dispatcher.dispatchOne());
    QCOMPARE(errors.last(), QStringLiteral("Send - Socket Not Connected"));
    QVERIFY(dispatcher.dispatchOne());
    QCOMPARE(done, (QList<int>{2, 3, 5}));
    QCOMPARE(errors.size(), 2);
}

void TestFraming::timerRunsOnlyWhileEntriesWait()
{
    Recorder r;
    QVERIFY(!r.dispatcher.timerActive());
    r.dispatcher.enqueue("CMD_chat+1+a|clRed");
    r.dispatcher.enqueue("CMD_chat+1+b|clRed");
    QVERIFY(r.dispatcher.timerActive());
    QVERIFY(r.dispatcher.dispatchOne());
    QVERIFY(r.dispatcher.timerActive());
    // Emptied by a direct call: nothing left to wake up for.
    QVERIFY(r.dispatcher.dispatchOne());
    QVERIFY(!r.dispatcher.timerActive());

    // Emptied by its own ticks.
    r.dispatcher.enqueue("CMD_chat+1+c|clRed");
    QVERIFY(r.dispatcher.timerActive());
    QTRY_COMPARE(r.log.size(), 3);
    QTRY_VERIFY(!r.dispatcher.timerActive());
    // An entry dropped unread also counts as taken.
    r.dispatcher.enqueue("nonsense");
    QTRY_VERIFY(!r.dispatcher.timerActive());
    QCOMPARE(r.dispatcher.size(), 0);

    // After a quiet spell the first entry is taken at the next turn of the
    // event loop, not a whole tick later; one that follows a take at once
    // waits for the tick, so the pace stays one entry a tick.
    Dispatcher slow(1000);
    QStringList taken;
    slow.setHandler("CMD_chat", [&taken](const QByteArray &args, int) { taken << QString::fromLatin1(args); });
    slow.enqueue("CMD_chat+first");
    QCOMPARE(slow.msUntilNext(), 0);
    QTRY_COMPARE(taken, QStringList{"first"});
    slow.enqueue("CMD_chat+second");
    QVERIFY2(slow.msUntilNext() > 500, qPrintable(QString::number(slow.msUntilNext())));
}

void TestFraming::timerDispatchesOneEntryPerTick()
{
    Recorder r;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 10; ++i)
        r.dispatcher.enqueue("CMD_chat+1+" + QByteArray::number(i) + "|clRed");
    QTRY_COMPARE(r.log.size(), 10);
    // Ten entries at one per 10 ms tick cannot be done in less than ~100 ms.
    QVERIFY2(clock.elapsed() >= 90, qPrintable(QString::number(clock.elapsed())));
    for (int i = 0; i < 10; ++i)
        QCOMPARE(r.log.at(i), QStringLiteral("CMD_chat|1+%1|clRed|0").arg(i));
}

void TestFraming::readsFields()
{
    FieldReader f("3+-12+Ann+with+plus");
    QCOMPARE(f.takeInt(), 3);
    QCOMPARE(f.takeInt(), -12);
    QCOMPARE(f.take(), QByteArray("Ann"));
    QCOMPARE(f.rest(), QByteArray("with+plus"));
    QCOMPARE(f.take(), QByteArray("with"));
    QCOMPARE(f.take(), QByteArray("plus"));
    QVERIFY(f.atEnd());
    QCOMPARE(f.take(), QByteArray());

    // Empty fields are fields; a trailing "+" ends the last one.
    FieldReader g("1+2++15+");
    QCOMPARE(g.take(), QByteArray("1"));
    QCOMPARE(g.take(), QByteArray("2"));
    QCOMPARE(g.take(), QByteArray(""));
    QCOMPARE(g.takeInt(), 15);
    QVERIFY(g.atEnd());

    QCOMPARE(FieldReader::toInt("2147483647"), 2147483647);
    QCOMPARE(FieldReader::toInt("-2147483648"), int(-2147483647 - 1));
    QCOMPARE(FieldReader::toInt("007"), 7);
}

void TestFraming::refusesNonIntegerFields_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::newRow("letter") << QByteArray("x");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("sign only") << QByteArray("-");
    QTest::newRow("space") << QByteArray(" 1");
    QTest::newRow("trailing") << QByteArray("1a");
    QTest::newRow("too big") << QByteArray("2147483648");
    QTest::newRow("too small") << QByteArray("-2147483649");
    QTest::newRow("huge") << QByteArray("99999999999999999999999");
}

void TestFraming::refusesNonIntegerFields()
{
    QFETCH(QByteArray, field);
    QVERIFY(!FieldReader::isInt(field));
    FieldReader f(field + "+5");
    try {
        f.takeInt();
        QFAIL("no error raised");
    } catch (const EConvertError &e) {
        QCOMPARE(e.text(), QStringLiteral("'%1' is not a valid integer value")
                               .arg(QString::fromLatin1(field)));
    }
    // The bad field is gone; the reader goes on after it.
    QCOMPARE(f.takeInt(), 5);
}

void TestFraming::buildsTheWorkedExamples()
{
    QCOMPARE(Msg::checkIt(2, {{3, 7, 4}}), QByteArray("CMD_checkit+2+3+7+4"));
    QCOMPARE(Msg::checkResult(2, 1, 0), QByteArray("CMD_checkresult+2+1+0+"));
    QCOMPARE(Msg::correctList(2, "+3+7+4+0"), QByteArray("CMD_correct+2+3+7+4+0"));
    QCOMPARE(Msg::hisScore(2, 15, 1), QByteArray("CMD_hisscore+2+15+1+"));
    QCOMPARE(Msg::highliteIt(2, {4}), QByteArray("CMD_highliteit+2+4"));
    QCOMPARE(Msg::chatLine(3, "hi", "clBlack"), QByteArray("CMD_chat+3+hi|clBlack"));
    QCOMPARE(Msg::chatRelay("Ann", "hi|clBlack"), QByteArray("CMD_chat+Ann chats: hi|clBlack"));
    const int scores[4] = {15, 0, 0, 0};
    QCOMPARE(Msg::loadStats(1, 2, scores), QByteArray("CMD_loadstats+1+2++15+0+0+0+"));
}

QTEST_GUILESS_MAIN(TestFraming)
#include "test_framing.moc"
