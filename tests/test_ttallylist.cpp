#include "tally/lzrw1.h"
#include "tally/tallytable.h"
#include "windows/ttallylist.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QByteArray crlfLines(const QStringList &lines)
{
    QByteArray text;
    for (const QString &line : lines)
        text += line.toUtf8() + "\r\n";
    return text;
}

QByteArray tallyText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return Tlzrw1::decompressBytes(f.readAll());
}

} // namespace

class TestTtallylist : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void layout();
    void firstRunAndExit();
    void loadsRecordsAndStartsNewSession();
    void damagedFileShowsErrorAndGoesOn();
    void addingPlayers();
    void deleteAnsweredNo();
    void deleteAnsweredYes();
    void resetting();
    void countedGamesShowAndSave();
    void doneAndCloseBoxHide();

private:
    QString label(const char *name) const
    {
        auto *l = m_window->findChild<QLabel *>(QString::fromLatin1(name));
        return l ? l->text() : QStringLiteral("<no %1>").arg(QString::fromLatin1(name));
    }
    QListWidget *list(const char *name) const { return m_window->findChild<QListWidget *>(QString::fromLatin1(name)); }
    QStringList entries(const char *name, bool withBoxes = true) const
    {
        QStringList out;
        QListWidget *l = list(name);
        for (int i = 0; i < l->count(); ++i)
            out.append((withBoxes ? (l->item(i)->checkState() == Qt::Checked ? "[x] " : "[ ] ") : "")
                       + l->item(i)->text());
        return out;
    }
    QStringList record() const
    {
        QStringList out{label("label_hisnametop"), label("label_hisname")};
        for (int i = 1; i <= 8; ++i)
            out.append(label(QStringLiteral("label_%1").arg(i).toLatin1().constData()));
        return out;
    }
    // Clicks the check box of entry row, as the player does.
    void clickBox(const char *name, int row)
    {
        QListWidget *l = list(name);
        QStyleOptionViewItem option;
        option.initFrom(l);
        option.rect = l->visualItemRect(l->item(row));
        option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
        const QRect box = l->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, l);
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, box.center());
    }
    void open(const QString &path)
    {
        m_window = std::make_unique<Ttallylist>(path);
        m_window->confirm = [this](const QString &q) {
            m_questions.append(q);
            return m_answer;
        };
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<Ttallylist> m_window;
    QStringList m_questions;
    bool m_answer = false;
};

void TestTtallylist::init()
{
    QVERIFY(m_dir.isValid());
    QDir dir(m_dir.path());
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden))
        dir.remove(name);
    m_path = dir.filePath(QStringLiteral("sudokutally.tld"));
    m_questions.clear();
    m_answer = false;
}

void TestTtallylist::cleanup()
{
    m_window.reset();
}

void TestTtallylist::layout()
{
    open(m_path);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Sudoku  - Tally List"));
    QCOMPARE(m_window->size(), QSize(462, 349));
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());

    const auto place = [this](const char *name) {
        auto *w = m_window->findChild<QWidget *>(QString::fromLatin1(name));
        return w ? QRect(w->mapTo(m_window.get(), QPoint(0, 0)), w->size()) : QRect();
    };
    QCOMPARE(place("checklist"), QRect(2, 247, 297, 98));
    QCOMPARE(place("listbox_tally"), QRect(301, 19, 160, 299));
    QCOMPARE(place("button_resettally"), QRect(301, 321, 80, 23));
    QCOMPARE(place("button_done"), QRect(384, 321, 74, 23));
    QCOMPARE(place("mylabel_1"), QRect(2 + 162, 3 + 34, 59, 17));
    QCOMPARE(place("label_4"), QRect(2 + 138, 90 + 120, 59, 17));
    QCOMPARE(place("label_5"), QRect(2 + 223, 90 + 48, 68, 17));
    QCOMPARE(m_window->findChild<QPushButton *>("button_resettally")->text(), QStringLiteral("Reset Tally"));

    // Every counter shows 0, the record panel "XX Wins:".
    QCOMPARE(record(), (QStringList{"", "XX Wins:", "0", "0", "0", "0", "0", "0", "0", "0"}));
    QCOMPARE(label("mylabel_1"), QStringLiteral("0"));
    QCOMPARE(label("mylabel_2"), QStringLiteral("0"));
    QVERIFY(m_window->findChild<QLabel *>("mylabel_2")->isVisible());
    QVERIFY(!m_window->findChild<QLabel *>("mylabel_3")->isVisible());
    QVERIFY(!m_window->findChild<QLabel *>("mylabel_4")->isVisible());
}

void TestTtallylist::firstRunAndExit()
{
    open(m_path);
    QCOMPARE(entries("listbox_tally"), QStringList());
    QVERIFY(!QFile::exists(m_path));
    m_window.reset();
    QCOMPARE(tallyText(m_path), crlfLines({"9", "1", "0", "0", "0", "0", "0", "0", "0", "0", "0"}));
}

void TestTtallylist::loadsRecordsAndStartsNewSession()
{
    QFile f(m_path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(Tlzrw1::compressBytes(crlfLines({"9", "3", "0", "Ann", "Bob", "12", "3", "2", "5", "1", "0", "0",
                                             "1", "1", "0", "0", "1", "0", "0", "2", "1", "0", "1", "1", "0",
                                             "0", "0", "0"})));
    f.close();
    open(m_path);
    QCOMPARE(label("mylabel_1"), QStringLiteral("12"));
    QCOMPARE(label("mylabel_2"), QStringLiteral("5"));
    QCOMPARE(entries("listbox_tally"), (QStringList{"[x] Ann", "[x] Bob"}));

    list("listbox_tally")->setCurrentRow(1);
    QCOMPARE(record(), (QStringList{"Bob's Tally", "Bob Wins:", "2", "0", "1", "1", "0", "0", "0", "0"}));
    QVERIFY(m_window->findChildren<QMessageBox *>().isEmpty());
}

void TestTtallylist::damagedFileShowsErrorAndGoesOn()
{
    QFile f(m_path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("plain text, no tally");
    f.close();
    open(m_path);

    auto *box = m_window->findChild<QMessageBox *>(QStringLiteral("tallyError"));
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QCOMPARE(box->text().section(QLatin1Char('\n'), 0, 0),
             m_path + QStringLiteral(" : Lzrw1 decompression : this file has no valid header !"));
    QVERIFY(box->text().contains(m_path + QStringLiteral(".damaged")));
    QCOMPARE(entries("listbox_tally"), QStringList());
    QCOMPARE(label("mylabel_1"), QStringLiteral("0"));
    box->accept();

    // The tally goes on; the damaged file stays beside the new one.
    m_window->addgame(QStringLiteral("addtomine"), {});
    m_window.reset();
    QCOMPARE(tallyText(m_path).left(12), QByteArray("9\r\n1\r\n0\r\n1\r\n"));
    QFile kept(m_path + QStringLiteral(".damaged"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("plain text, no tally"));
}

void TestTtallylist::addingPlayers()
{
    open(m_path);
    m_window->loadchecklist({"Ann", "Bob"});
    QCOMPARE(entries("checklist"), (QStringList{"[ ] Ann", "[ ] Bob"}));

    clickBox("checklist", 1);
    QCOMPARE(entries("checklist"), (QStringList{"[ ] Ann", "[x] Bob"}));
    QCOMPARE(entries("listbox_tally"), QStringList{"[x] Bob"});
    QCOMPARE(m_window->table().row(1), (QStringList{"Bob", "0", "0", "0", "0", "0", "0", "0", "0"}));
    // Saved at once.
    QCOMPARE(tallyText(m_path).count("Bob"), 1);

    // Clearing the box of a tallied player changes nothing else.
    clickBox("checklist", 1);
    QCOMPARE(entries("checklist"), (QStringList{"[ ] Ann", "[ ] Bob"}));
    QCOMPARE(entries("listbox_tally"), QStringList{"[x] Bob"});

    // Tallied under another letter case: shown checked, never added twice.
    m_window->loadchecklist({"bob", "Ann"});
    QCOMPARE(entries("checklist"), (QStringList{"[x] bob", "[ ] Ann"}));
    clickBox("checklist", 0);
    clickBox("checklist", 0);
    clickBox("checklist", 1);
    QCOMPARE(entries("listbox_tally"), (QStringList{"[x] Bob", "[x] Ann"}));
    QCOMPARE(m_window->table().names(), (QStringList{"Bob", "Ann"}));
    QVERIFY(m_questions.isEmpty());
}

void TestTtallylist::deleteAnsweredNo()
{
    open(m_path);
    m_window->loadchecklist({"Ann", "Bob"});
    clickBox("checklist", 0);
    clickBox("checklist", 1);

    m_answer = false;
    clickBox("listbox_tally", 0);
    QTRY_COMPARE(m_questions, QStringList{"This will delete Ann's Tally, Are you want to delete it?"});
    QCOMPARE(entries("listbox_tally"), (QStringList{"[x] Ann", "[x] Bob"}));
    QCOMPARE(m_window->table().names(), (QStringList{"Ann", "Bob"}));
}

void TestTtallylist::deleteAnsweredYes()
{
    open(m_path);
    m_window->loadchecklist({"Ann", "Bob", "Cid"});
    for (int i = 0; i < 3; ++i)
        clickBox("checklist", i);
    m_window->addgame(QStringLiteral("Cid"));

    // Show Bob, then delete him: Cid moves up, the panel keeps Bob.
    list("listbox_tally")->setCurrentRow(1);
    QCOMPARE(record().first(), QStringLiteral("Bob's Tally"));
    m_answer = true;
    clickBox("listbox_tally", 1);
    QTRY_COMPARE(entries("listbox_tally"), (QStringList{"[x] Ann", "[x] Cid"}));
    QCOMPARE(m_questions, QStringList{"This will delete Bob's Tally, Are you want to delete it?"});
    QCOMPARE(m_window->table().row(2), (QStringList{"Cid", "1", "1", "0", "0", "1", "1", "0", "0"}));
    QCOMPARE(record(), (QStringList{"Bob's Tally", "Bob Wins:", "1", "0", "0", "1", "1", "0", "0", "1"}));
    QCOMPARE(list("listbox_tally")->currentRow(), -1);

    // The last, then the only record.
    clickBox("listbox_tally", 1);
    QTRY_COMPARE(entries("listbox_tally"), QStringList{"[x] Ann"});
    clickBox("listbox_tally", 0);
    QTRY_COMPARE(entries("listbox_tally"), QStringList());
    QCOMPARE(m_window->table().rowCount(), 1);
    QCOMPARE(m_window->table().row(0), (QStringList{"0", "1", "0", "0", "0", "0", "0", "0", "0"}));
    m_window.reset();
    QCOMPARE(tallyText(m_path), crlfLines({"9", "1", "0", "1", "0", "0", "0", "0", "0", "0", "0"}));
}

void TestTtallylist::resetting()
{
    open(m_path);
    m_window->loadchecklist({"Ann"});
    clickBox("checklist", 0);
    m_window->addgame(QStringLiteral("addtomine"));
    list("listbox_tally")->setCurrentRow(0);

    auto *reset = m_window->findChild<QPushButton *>(QStringLiteral("button_resettally"));
    m_answer = false;
    QTest::mouseClick(reset, Qt::LeftButton);
    QCOMPARE(m_questions, QStringList{"Are you sure you want to reset the Tally?"});
    QCOMPARE(label("mylabel_1"), QStringLiteral("1"));
    QCOMPARE(entries("listbox_tally"), QStringList{"[x] Ann"});

    m_answer = true;
    QTest::mouseClick(reset, Qt::LeftButton);
    QCOMPARE(label("mylabel_1"), QStringLiteral("0"));
    QCOMPARE(label("mylabel_2"), QStringLiteral("0"));
    QCOMPARE(entries("listbox_tally"), QStringList());
    QCOMPARE(entries("checklist"), QStringList{"[x] Ann"});
    QCOMPARE(record(), (QStringList{"Ann's Tally", "Ann Wins:", "0", "0", "0", "0", "0", "0", "0", "0"}));
    QCOMPARE(tallyText(m_path), crlfLines({"9", "1", "0", "0", "0", "0", "0", "0", "0", "0", "0"}));
}

void TestTtallylist::countedGamesShowAndSave()
{
    open(m_path);
    m_window->loadchecklist({"Ann", "Bob"});
    clickBox("checklist", 0);
    list("listbox_tally")->setCurrentRow(0);

    // The players source gives the seats at the time of the result.
    QStringList seated{"Ann", "Bob"};
    m_window->setPlayersSource([&seated] { return seated; });
    m_window->addgame(QStringLiteral("Ann"));
    QCOMPARE(record(), (QStringList{"Ann's Tally", "Ann Wins:", "1", "1", "0", "0", "1", "1", "0", "0"}));
    QCOMPARE(label("mylabel_1"), QStringLiteral("1"));
    QCOMPARE(label("mylabel_2"), QStringLiteral("0"));

    seated = {"Bob"};
    m_window->addgame(QStringLiteral("addtomine"));
    QCOMPARE(entries("checklist"), QStringList{"[ ] Bob"});
    QCOMPARE(label("mylabel_1"), QStringLiteral("2"));
    QCOMPARE(label("mylabel_2"), QStringLiteral("1"));
    QCOMPARE(record().at(2), QStringLiteral("1"));

    // Each counted game is on disk at once; the totals follow while hidden.
    QCOMPARE(tallyText(m_path).left(14), QByteArray("9\r\n2\r\n0\r\nAnn\r\n"));
    m_window->hide();
    m_window->addgame(QStringLiteral("Ann"), {"Ann"});
    QCOMPARE(label("mylabel_1"), QStringLiteral("3"));
    QCOMPARE(record().at(2), QStringLiteral("2"));

    TallyTable onDisk;
    QVERIFY(onDisk.load(m_path).ok);
    QCOMPARE(onDisk.row(0).at(1), QStringLiteral("3"));
    QCOMPARE(onDisk.row(1).mid(0, 5), (QStringList{"Ann", "2", "2", "0", "0"}));
}

void TestTtallylist::doneAndCloseBoxHide()
{
    open(m_path);
    m_window->loadchecklist({"Ann"});
    QTest::mouseClick(m_window->findChild<QPushButton *>(QStringLiteral("button_done")), Qt::LeftButton);
    QVERIFY(!m_window->isVisible());
    m_window->show();
    QVERIFY(m_window->close());
    QVERIFY(!m_window->isVisible());
    QCOMPARE(entries("checklist"), QStringList{"[ ] Ann"});
}

QTEST_MAIN(TestTtallylist)
#include "test_ttallylist.moc"
