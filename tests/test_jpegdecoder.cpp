#include "ui/jpegdecoder.h"

#include <QBuffer>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QtTest>

namespace {

QByteArray readResource(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// A JPEG written by Qt's own writer, for pictures of a known content.
QByteArray encode(const QImage &image, const char *format = "jpeg", int quality = 95,
                  bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image))
        return QByteArray();
    return bytes;
}

QImage quadrants()
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixel(x, y, x < 32 ? (y < 24 ? qRgb(200, 20, 20) : qRgb(20, 160, 40))
                                        : (y < 24 ? qRgb(30, 40, 190) : qRgb(240, 240, 240)));
    return image;
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
           && qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace

class TestJpegDecoder : public QObject
{
    Q_OBJECT

private slots:
    void decodesTheShippedPictures_data();
    void decodesTheShippedPictures();
    void decodesColoursInPlace();
    void decodesGreyAndProgressive();
    void refusesTruncatedFiles();
    void refusesDamagedHeaders();
    void refusesNonsense();
    void missingFile();
};

void TestJpegDecoder::decodesTheShippedPictures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("penalty") << QStringLiteral(":/pictures/penalty.jpg") << QSize(438, 440);
    QTest::newRow("lobby ad") << QStringLiteral(":/pictures/lobbyad.jpg") << QSize(400, 339);
}

void TestJpegDecoder::decodesTheShippedPictures()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QString error = QStringLiteral("unset");
    const QImage image = JpegDecoder::decodeFile(path, &error);
    QVERIFY2(!image.isNull(), qPrintable(error));
    QVERIFY(error.isEmpty());
    QCOMPARE(image.size(), size);
    QCOMPARE(image.format(), QImage::Format_RGB32);
    // Same pixels as Qt's own reader, which also sits on libjpeg.
    const QImage reference = QImage(path).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(reference.size(), size);
    int far = 0;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            far += !near(image.pixel(x, y), reference.pixel(x, y), 3);
    QCOMPARE(far, 0);
}

void TestJpegDecoder::decodesColoursInPlace()
{
    const QByteArray bytes = encode(quadrants());
    QVERIFY(!bytes.isEmpty());
    QString error;
    const QImage image = JpegDecoder::decode(bytes, &error);
    QVERIFY2(!image.isNull(), qPrintable(error));
    QCOMPARE(image.size(), QSize(64, 48));
    // Red top left, blue top right, green bottom left, light grey bottom right:
    // a channel-order or row-order mistake shows here.
    QVERIFY(near(image.pixel(8, 8), qRgb(200, 20, 20), 12));
    QVERIFY(near(image.pixel(56, 8), qRgb(30, 40, 190), 12));
    QVERIFY(near(image.pixel(8, 40), qRgb(20, 160, 40), 12));
    QVERIFY(near(image.pixel(56, 40), qRgb(240, 240, 240), 12));
}

void TestJpegDecoder::decodesGreyAndProgressive()
{
    QImage grey(33, 17, QImage::Format_Grayscale8); // odd sizes: partial blocks
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 33; ++x)
            grey.scanLine(y)[x] = uchar(x < 16 ? 30 : 220);
    QString error;
    QImage image = JpegDecoder::decode(encode(grey), &error);
    QVERIFY2(!image.isNull(), qPrintable(error));
    QCOMPARE(image.size(), QSize(33, 17));
    QVERIFY(near(image.pixel(4, 8), qRgb(30, 30, 30), 10));
    QVERIFY(near(image.pixel(30, 8), qRgb(220, 220, 220), 10));

    image = JpegDecoder::decode(encode(quadrants(), "jpeg", 80, true), &error);
    QVERIFY2(!image.isNull(), qPrintable(error));
    QVERIFY(near(image.pixel(56, 8), qRgb(30, 40, 190), 16));
}

void TestJpegDecoder::refusesTruncatedFiles()
{
    const QByteArray whole = readResource(QStringLiteral(":/pictures/penalty.jpg"));
    QVERIFY(whole.size() > 1000);
    // Cut in the middle of the data, just before the end marker, and with
    // only the end marker's last byte missing.
    for (const qsizetype keep : {whole.size() / 2, whole.size() - 2, whole.size() - 1, qsizetype(700)}) {
        QString error;
        const QImage image = JpegDecoder::decode(whole.left(keep), &error);
        QVERIFY2(image.isNull(), qPrintable(QString::number(keep)));
        QVERIFY(!error.isEmpty());
    }
    // Only the header left: no picture data at all.
    QString error;
    QVERIFY(JpegDecoder::decode(whole.left(200), &error).isNull());
    QVERIFY(!error.isEmpty());
    // A progressive file cut short is refused too.
    const QByteArray progressive = encode(quadrants(), "jpeg", 80, true);
    QVERIFY(JpegDecoder::decode(progressive.left(progressive.size() * 2 / 3), &error).isNull());
    QVERIFY(!error.isEmpty());
}

void TestJpegDecoder::refusesDamagedHeaders()
{
    const QByteArray whole = encode(quadrants());
    QString error;

    QByteArray noStart = whole;
    noStart[1] = char(0xD9); // not a start-of-image marker
    QVERIFY(JpegDecoder::decode(noStart, &error).isNull());
    QVERIFY(error.contains(QStringLiteral("Not a JPEG file")));

    // The frame header (SOF) claims a zero height.
    QByteArray zeroHeight = whole;
    const qsizetype sof = zeroHeight.indexOf(QByteArray("\xFF\xC0", 2));
    QVERIFY(sof > 0);
    zeroHeight[sof + 5] = 0;
    zeroHeight[sof + 6] = 0;
    QVERIFY(JpegDecoder::decode(zeroHeight, &error).isNull());
    QVERIFY(!error.isEmpty());

    // A huge frame is refused before any pixel memory is taken.
    QByteArray huge = whole;
    huge[sof + 5] = char(0x7F);
    huge[sof + 6] = char(0xFF);
    huge[sof + 7] = char(0x7F);
    huge[sof + 8] = char(0xFF);
    QVERIFY(JpegDecoder::decode(huge, &error).isNull());
    QCOMPARE(error, QStringLiteral("Picture too large"));

    // Quantisation tables gone: the frame refers to tables that were never defined.
    QByteArray noTables = whole;
    const qsizetype dqt = noTables.indexOf(QByteArray("\xFF\xDB", 2));
    QVERIFY(dqt > 0);
    noTables[dqt + 1] = char(0xFE); // turn the table into a comment
    QVERIFY(JpegDecoder::decode(noTables, &error).isNull());
    QVERIFY(!error.isEmpty());

    // A segment length that runs past the end of the file.
    QByteArray longSegment = whole;
    longSegment[dqt + 2] = char(0xFF);
    longSegment[dqt + 3] = char(0xFF);
    QVERIFY(JpegDecoder::decode(longSegment, &error).isNull());
    QVERIFY(!error.isEmpty());
}

void TestJpegDecoder::refusesNonsense()
{
    QString error;
    QVERIFY(JpegDecoder::decode(QByteArray(), &error).isNull());
    QVERIFY(!error.isEmpty());
    QVERIFY(JpegDecoder::decode(QByteArray("\xFF", 1), &error).isNull());
    QVERIFY(JpegDecoder::decode(QByteArray("\xFF\xD8", 2), &error).isNull());
    QVERIFY(JpegDecoder::decode(QByteArray("\xFF\xD8\xFF\xD9", 4), &error).isNull());
    // A PNG is not a JPEG.
    QVERIFY(JpegDecoder::decode(encode(quadrants(), "png"), &error).isNull());
    QVERIFY(!error.isEmpty());

    QRandomGenerator rng(20240611);
    const QByteArray whole = encode(quadrants());
    for (int round = 0; round < 200; ++round) {
        QByteArray noise(qsizetype(rng.bounded(1, 4096)), Qt::Uninitialized);
        for (char &c : noise)
            c = char(rng.bounded(256));
        // Half of the rounds look like a JPEG for the first bytes.
        if (round % 2)
            noise.replace(0, qMin(noise.size(), qsizetype(2 + rng.bounded(300))),
                          whole.left(qMin(noise.size(), qsizetype(2 + rng.bounded(300)))));
        error.clear();
        const QImage image = JpegDecoder::decode(noise, &error);
        QVERIFY(image.isNull() != error.isEmpty());
    }
    // Flipped bytes inside a good file: whatever comes back is consistent.
    for (int round = 0; round < 200; ++round) {
        QByteArray bent = whole;
        for (int i = 0; i < 4; ++i)
            bent[qsizetype(rng.bounded(int(bent.size())))] = char(rng.bounded(256));
        error.clear();
        const QImage image = JpegDecoder::decode(bent, &error);
        QVERIFY(image.isNull() != error.isEmpty());
        if (!image.isNull())
            QVERIFY(image.width() > 0 && image.height() > 0);
    }
}

void TestJpegDecoder::missingFile()
{
    QString error;
    QVERIFY(JpegDecoder::decodeFile(QStringLiteral(":/pictures/no-such.jpg"), &error).isNull());
    QVERIFY(!error.isEmpty());
}

QTEST_MAIN(TestJpegDecoder)
#include "test_jpegdecoder.moc"
