#pragma once

#include "tally/tallytable.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The tally window: the player's totals, the record of one tallied opponent
// at a time, whom to tally, and the tally file (read when the window is
// made, written after every counted game and change and when it goes).
class Ttallylist : public QDialog
{
    Q_OBJECT
public:
    // The tally file "sudokutally.tld" in the settings folder.
    explicit Ttallylist(QWidget *parent = nullptr);
    // The tally file at tallyPath.
    explicit Ttallylist(const QString &tallyPath, QWidget *parent = nullptr);
    ~Ttallylist() override;

    static QString defaultTallyPath();

    // Counts a finished game: "addtomine" when this player won, else the
    // winner text. The players counted are those of "Players In Current
    // Game", rebuilt first from the players source when one is set.
    void addgame(const QString &winner);
    // The same, with the other seated players given.
    void addgame(const QString &winner, const QStringList &players);
    // Rebuilds "Players In Current Game" from the names of the other seated
    // players; the boxes of tallied players are checked.
    void loadchecklist(const QStringList &names);
    // Where addgame(winner) asks for the other seated players.
    void setPlayersSource(std::function<QStringList()> source) { m_playersSource = std::move(source); }

    // Adds 1 to row 0, column (1 or 2), and shows the new count.
    void addtomineincrease(int column);
    // Removes table row (the tally list is the caller's).
    void moverow(int row);

    const TallyTable &table() const { return m_table; }
    QString tallyPath() const { return m_path; }
    // Writes the tally file now; false when it could not be written (the
    // old file is then left whole).
    bool save();

    // Asks a yes/no question; true for Yes. A modal question box by default;
    // tests put their own answer here.
    std::function<bool(const QString &question)> confirm;

signals:
    // A save failed: the line that tells the player, sent once per run.
    void saveFailed(const QString &line);

public:
    // Handlers of the window's controls.
    void checklistClickCheck(int index);
    void listbox_tallyClick();
    void listbox_tallyClickCheck(int index);
    void button_resettallyClick();
    void button_doneClick();

private:
    void FormCreate();
    void FormDestroy();
    void loadtally();
    void buildWindow();
    void showTotals();
    void showError(const QString &text);
    void setCheckedQuietly(QListWidgetItem *item, bool checked);
    QListWidgetItem *addCheckItem(QListWidget *list, const QString &name, bool checked);

    QString m_path;
    TallyTable m_table;
    std::function<QStringList()> m_playersSource;
    bool m_quiet = false;
    bool m_toldSaveFailure = false;

    QLabel *m_mylabel[5] = {};
    QLabel *m_label[9] = {};
    QLabel *m_hisname = nullptr;
    QLabel *m_hisnametop = nullptr;
    QListWidget *m_checklist = nullptr;
    QListWidget *m_tallylist = nullptr;
    QPushButton *m_reset = nullptr;
    QPushButton *m_done = nullptr;
};
