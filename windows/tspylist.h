#pragma once

#include <QDialog>
#include <QStringList>

class QAction;
class QListWidget;
class QMenu;

// The small always-on-top list of the clients who watch without a seat. The
// hosting player can remove one through the list's context menu.
class Tspylist : public QDialog
{
    Q_OBJECT
    Q_PROPERTY(bool removeEnabled READ removeEnabled WRITE setRemoveEnabled)
public:
    // The host serves at most five watchers.
    static constexpr int MaxEntries = 5;

    explicit Tspylist(QWidget *parent = nullptr);

    // The whole list, in order of arrival; each entry reads "seat: name".
    void setEntries(const QStringList &entries);
    QStringList entries() const;
    // One arrival or departure: only that row changes. An arrival beyond
    // MaxEntries is dropped; a departure not in the list changes nothing.
    void addEntry(const QString &entry);
    void removeEntry(const QString &entry);

    // "Remove From Game" is offered only to the hosting player.
    void setRemoveEnabled(bool enabled);
    bool removeEnabled() const;

    // The entry under the pointer as last seen by a mouse movement, or -1.
    int hoverIndex() const { return m_hoverIndex; }

    // The seat number at the start of an entry ("5: Ann" gives 5), or -1.
    static int seatOf(const QString &entry);

signals:
    void kickRequested(int seat);

public slots:
    void popup_kickhimClick();
    void button_doneClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void listbox_spysMouseMove(const QPoint &pos);

    QListWidget *m_list = nullptr;
    QMenu *m_popup = nullptr;
    QAction *m_kick = nullptr;
    int m_hoverIndex = -1;
    QString m_menuEntry; // the entry under the pointer when the menu opened
};
