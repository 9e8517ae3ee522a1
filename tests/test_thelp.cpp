#include "app/launcher.h"
#include "windows/tabout.h"
#include "windows/thelp.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QtTest>

namespace {

struct RecordingLauncher : Launcher
{
    QList<QUrl> opened;
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return true;
    }
    bool startDetached(const QString &, const QStringList &) override { return false; }
};

// The page buttons by their place on the side panel.
struct Page
{
    int y;
    QString caption;
    int memo;
};

const QList<Page> Pages = {
    {8, QStringLiteral("Overview"), 1},    {32, QStringLiteral("Connecting"), 2},
    {56, QStringLiteral("Game Play"), 3},  {80, QStringLiteral("Game Modes"), 7},
    {104, QStringLiteral("Scoring"), 4},   {128, QStringLiteral("Documentation"), 5},
    {152, QStringLiteral("License"), 6},
};

QWidget *buttonAt(Thelp &help, int y)
{
    return help.childAt(60, y + 10);
}

QString pagePlainText(Thelp &help, int memo)
{
    return help.findChild<QTextBrowser *>(QStringLiteral("memo") + QString::number(memo))->toPlainText();
}

} // namespace

class TestThelp : public QObject
{
    Q_OBJECT
private slots:
    void pageButtonsBringTheirPageToTheFront();
    void pagesCoverTheirTopics();
    void aboutAndDone();
    void aboutBox();
};

void TestThelp::pageButtonsBringTheirPageToTheFront()
{
    Thelp help;
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    auto *caption = help.findChild<QLabel *>(QStringLiteral("label_caption"));
    QCOMPARE(help.currentPage(), 1);
    QCOMPARE(caption->text(), QStringLiteral("Overview"));

    // Backwards, so every click changes the page.
    for (auto it = Pages.crbegin(); it != Pages.crend(); ++it) {
        auto *button = qobject_cast<QPushButton *>(buttonAt(help, it->y));
        QVERIFY2(button, qPrintable(it->caption));
        QCOMPARE(button->text(), it->caption);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(help.currentPage(), it->memo);
        QCOMPARE(caption->text(), it->caption);
        for (int memo = 1; memo <= Thelp::PageCount; ++memo)
            QCOMPARE(help.findChild<QTextBrowser *>(QStringLiteral("memo") + QString::number(memo))->isVisible(),
                     memo == it->memo);
    }
}

void TestThelp::pagesCoverTheirTopics()
{
    Thelp help;
    for (const Page &page : Pages)
        QVERIFY2(pagePlainText(help, page.memo).startsWith(page.caption == QStringLiteral("Overview")
                                                               ? QStringLiteral("Welcome")
                                                               : page.caption),
                 qPrintable(page.caption));
    QVERIFY(pagePlainText(help, 2).contains(QStringLiteral("7772")));
    QVERIFY(pagePlainText(help, 2).contains(QStringLiteral("lobby")));
    QVERIFY(pagePlainText(help, 5).contains(
        QStringLiteral("This software is based in part on the work of the Independent JPEG Group.")));

    // The License page shows the project's licence file, whole.
    QFile licence(QStringLiteral(SUDOKU_SOURCE_DIR "/LICENSE"));
    QVERIFY(licence.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(licence.readAll()).simplified();
    QVERIFY(text.contains(QStringLiteral("Copyright (c) 2026 The Sudoku developers")));
    QVERIFY(pagePlainText(help, 6).simplified().contains(text));
}

void TestThelp::aboutAndDone()
{
    Tabout about;
    Thelp help;
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    QTest::mouseClick(buttonAt(help, 176), Qt::LeftButton);
    QVERIFY(about.isVisible());
    QTest::mouseClick(buttonAt(help, 396), Qt::LeftButton);
    QVERIFY(!help.isVisible());
}

void TestThelp::aboutBox()
{
    RecordingLauncher launcher;
    Launcher::setInstance(&launcher);
    Tabout about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(about.versionText(), QStringLiteral("1.0.2"));
    QCOMPARE(about.findChild<QLabel *>(QStringLiteral("label_version"))->text(), QStringLiteral("1.0.2"));

    auto *address = about.findChild<QLabel *>(QStringLiteral("Label7"));
    QTest::mouseClick(address, Qt::LeftButton, {}, address->rect().center());
    QCOMPARE(launcher.opened, QList<QUrl>{QUrl(QStringLiteral("http://www.sudoku-game.example"))});

    QTest::mouseClick(about.findChild<QAbstractButton *>(QStringLiteral("button_done")), Qt::LeftButton);
    QVERIFY(!about.isVisible());
    Launcher::setInstance(nullptr);
}

QTEST_MAIN(TestThelp)
#include "test_thelp.moc"
