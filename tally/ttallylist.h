#pragma once

#include <QDialog>
#include <QStringList>

// The tally window: the player's record against other players.
class Ttallylist : public QDialog
{
    Q_OBJECT
public:
    explicit Ttallylist(QWidget *parent = nullptr);

    // Counts a finished game: "addtomine" when this player won, else the
    // winner text.
    void addgame(const QString &winner);
    // The other players of the current game, for the window's check list.
    void loadchecklist(const QStringList &names);
};
