#include "client/colortext.h"

#include <QTest>

class TestColorText : public QObject
{
    Q_OBJECT

private slots:
    void readsStandardNamesInAnyCase_data();
    void readsStandardNamesInAnyCase();
    void readsNumbers_data();
    void readsNumbers();
    void refusesUnreadableText_data();
    void refusesUnreadableText();
    void readsSystemColours();
    void writesNamesAndHex_data();
    void writesNamesAndHex();
    void everyWrittenTextReadsBack();
    void convertsToArgb();
};

void TestColorText::readsStandardNamesInAnyCase_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("bgr");
    QTest::newRow("clRed") << "clRed" << 0x0000FFu;
    QTest::newRow("lower") << "clred" << 0x0000FFu;
    QTest::newRow("upper") << "CLRED" << 0x0000FFu;
    QTest::newRow("clblack default") << "clblack" << 0x000000u;
    QTest::newRow("clNavy") << "clNavy" << 0x800000u;
    QTest::newRow("clOlive") << "ClOlIvE" << 0x008080u;
    QTest::newRow("clAqua") << "clAqua" << 0xFFFF00u;
    QTest::newRow("clFuchsia") << "clFuchsia" << 0xFF00FFu;
    QTest::newRow("clSilver") << "clSilver" << 0xC0C0C0u;
}

void TestColorText::readsStandardNamesInAnyCase()
{
    QFETCH(QString, text);
    QFETCH(quint32, bgr);
    QCOMPARE(colorFromText(text), std::optional<quint32>(bgr));
    QCOMPARE(colorFromText(text.toLatin1()), std::optional<quint32>(bgr));
}

void TestColorText::readsNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("bgr");
    QTest::newRow("red as written") << "$000000FF" << 0x0000FFu;
    QTest::newRow("short hex") << "$ff" << 0x0000FFu;
    QTest::newRow("mixed case hex") << "$00aBcDeF" << 0xABCDEFu;
    QTest::newRow("decimal") << "255" << 0x0000FFu;
    QTest::newRow("decimal blue") << "16711680" << 0xFF0000u;
    QTest::newRow("plus sign") << "+65280" << 0x00FF00u;
    QTest::newRow("zero") << "0" << 0u;
    QTest::newRow("hex system colour") << "$FF000005" << 0xFFFFFFu;   // window
    QTest::newRow("old system colour") << "$80000012" << 0x000000u;   // button text
    QTest::newRow("negative system colour") << "-16777201" << 0xC8D0D4u; // button face
}

void TestColorText::readsNumbers()
{
    QFETCH(QString, text);
    QFETCH(quint32, bgr);
    QCOMPARE(colorFromText(text), std::optional<quint32>(bgr));
}

void TestColorText::refusesUnreadableText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("dollar alone") << "$";
    QTest::newRow("unknown name") << "clPink";
    QTest::newRow("bare prefix") << "cl";
    QTest::newRow("name without prefix") << "Red";
    QTest::newRow("hex digit out of range") << "$0000FG";
    QTest::newRow("nine hex digits") << "$1000000FF";
    QTest::newRow("top byte set") << "$010000FF";
    QTest::newRow("unknown system index") << "$FF000019";
    QTest::newRow("decimal past 32 bits") << "4294967296";
    QTest::newRow("decimal past int range") << "2147483648";
    QTest::newRow("plain negative") << "-1";
    QTest::newRow("blank around") << " clRed";
    QTest::newRow("trailing blank") << "$FF ";
    QTest::newRow("sign alone") << "-";
    QTest::newRow("non-ASCII digit") << QString::fromUtf8("\xd9\xa1");
}

void TestColorText::refusesUnreadableText()
{
    QFETCH(QString, text);
    QCOMPARE(colorFromText(text), std::nullopt);
}

void TestColorText::readsSystemColours()
{
    QCOMPARE(colorFromText(u"clWindow"), std::optional<quint32>(0xFFFFFF));
    QCOMPARE(colorFromText(u"clwindowtext"), std::optional<quint32>(0x000000));
    QCOMPARE(colorFromText(u"clInfoBk"), std::optional<quint32>(0xE1FFFF));
    QCOMPARE(colorFromText(u"clBtnFace"), colorFromText(u"$FF00000F"));
    // A system colour is written back by its value, never by its own name.
    QCOMPARE(colorToText(*colorFromText(u"clBtnFace")), QStringLiteral("$00C8D0D4"));
    QCOMPARE(colorToText(*colorFromText(u"clWindow")), QStringLiteral("clWhite"));
}

void TestColorText::writesNamesAndHex_data()
{
    QTest::addColumn<quint32>("bgr");
    QTest::addColumn<QString>("text");
    QTest::newRow("red") << 0x0000FFu << "clRed";
    QTest::newRow("black") << 0x000000u << "clBlack";
    QTest::newRow("teal") << 0x808000u << "clTeal";
    QTest::newRow("white") << 0xFFFFFFu << "clWhite";
    QTest::newRow("near red") << 0x0000FEu << "$000000FE";
    QTest::newRow("upper-case hex") << 0xABCDEFu << "$00ABCDEF";
    QTest::newRow("small") << 0x000001u << "$00000001";
    QTest::newRow("top byte ignored") << 0xFF0000FFu << "clRed";
}

void TestColorText::writesNamesAndHex()
{
    QFETCH(quint32, bgr);
    QFETCH(QString, text);
    QCOMPARE(colorToText(bgr), text);
}

void TestColorText::everyWrittenTextReadsBack()
{
    // A walk through the colour cube, names and hex texts alike.
    for (quint32 b = 0; b < 256; b += 17) {
        for (quint32 g = 0; g < 256; g += 15) {
            for (quint32 r = 0; r < 256; r += 51) {
                const quint32 bgr = Bgr::fromRgb(int(r), int(g), int(b));
                const QString text = colorToText(bgr);
                QCOMPARE(colorFromText(text), std::optional<quint32>(bgr));
            }
        }
    }
}

void TestColorText::convertsToArgb()
{
    QCOMPARE(Bgr::toArgb(Bgr::Red), 0xFFFF0000u);
    QCOMPARE(Bgr::toArgb(Bgr::Blue), 0xFF0000FFu);
    QCOMPARE(Bgr::toArgb(0x123456), 0xFF563412u);
    QCOMPARE(Bgr::fromArgb(0x80563412u), 0x123456u);
    QCOMPARE(Bgr::red(0x123456), 0x56);
    QCOMPARE(Bgr::blue(0x123456), 0x12);
}

QTEST_APPLESS_MAIN(TestColorText)
#include "test_colortext.moc"
