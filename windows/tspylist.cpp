#include "windows/tspylist.h"

#include "ui/widgets.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

Tspylist::Tspylist(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tspylist"));
    setWindowTitle(QStringLiteral("Sudoku - Spys"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::WindowStaysOnTopHint);
    setFixedSize(162, 168);
    Widgets::applyTiledBackground(this);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("listbox_spys"));
    m_list->setAccessibleName(QStringLiteral("Spy List"));
    m_list->setGeometry(5, 5, 154, 130);
    m_list->setFont(Widgets::arial(11));
    m_list->setUniformItemSizes(true);
    m_list->setStyleSheet(QStringLiteral(
        "QListWidget { background: white; border: 1px solid rgb(128, 128, 128); }"
        "QListWidget::item { height: 13px; padding-left: 2px; }"
        "QListWidget::item:hover { background: rgb(255, 236, 230); }"
        "QListWidget::item:selected { background: rgb(128, 0, 0); color: white; }"));
    m_list->setMouseTracking(true);
    m_list->viewport()->setMouseTracking(true);
    m_list->viewport()->installEventFilter(this);

    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("popup_kick"));
    m_kick = m_popup->addAction(QStringLiteral("Remove From Game"));
    m_kick->setObjectName(QStringLiteral("popup_kickhim"));
    m_kick->setEnabled(false);
    connect(m_kick, &QAction::triggered, this, &Tspylist::popup_kickhimClick);

    auto *caption = new QLabel(QStringLiteral("Spy List"), this);
    caption->setFont(Widgets::arial(19, true));
    caption->move(7, 138);
    caption->adjustSize();
    QPalette pal = caption->palette();
    pal.setColor(QPalette::WindowText, QColor(128, 0, 0));
    caption->setPalette(pal);

    auto *done = new Widgets::PictureButton(QStringLiteral("Done"), this);
    done->setObjectName(QStringLiteral("button_done"));
    done->setFont(Widgets::arial(12, true));
    done->setGeometry(88, 140, 71, 20);
    connect(done, &QAbstractButton::clicked, this, &Tspylist::button_doneClick);
}

void Tspylist::setEntries(const QStringList &entries)
{
    if (entries == this->entries())
        return;
    m_list->clear();
    m_list->addItems(entries);
    for (int i = 0; i < m_list->count(); ++i)
        m_list->item(i)->setSizeHint(QSize(0, 13));
}

void Tspylist::addEntry(const QString &entry)
{
    if (m_list->count() >= MaxEntries)
        return;
    auto *item = new QListWidgetItem(entry, m_list);
    item->setSizeHint(QSize(0, 13));
}

void Tspylist::removeEntry(const QString &entry)
{
    for (int i = 0; i < m_list->count(); ++i) {
        if (m_list->item(i)->text() == entry) {
            delete m_list->takeItem(i);
            return;
        }
    }
}

QStringList Tspylist::entries() const
{
    QStringList list;
    for (int i = 0; i < m_list->count(); ++i)
        list << m_list->item(i)->text();
    return list;
}

void Tspylist::setRemoveEnabled(bool enabled)
{
    m_kick->setEnabled(enabled);
}

bool Tspylist::removeEnabled() const
{
    return m_kick->isEnabled();
}

int Tspylist::seatOf(const QString &entry)
{
    const qsizetype colon = entry.indexOf(u':');
    if (colon < 0)
        return -1;
    bool ok = false;
    const int seat = entry.left(colon).trimmed().toInt(&ok);
    return ok ? seat : -1;
}

void Tspylist::listbox_spysMouseMove(const QPoint &pos)
{
    QListWidgetItem *item = m_list->itemAt(pos);
    m_hoverIndex = item ? m_list->row(item) : -1;
}

bool Tspylist::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            listbox_spysMouseMove(static_cast<QMouseEvent *>(event)->position().toPoint());
        } else if (event->type() == QEvent::ContextMenu) {
            auto *menuEvent = static_cast<QContextMenuEvent *>(event);
            if (menuEvent->reason() == QContextMenuEvent::Mouse)
                listbox_spysMouseMove(menuEvent->pos());
            m_menuEntry = m_hoverIndex >= 0 && m_hoverIndex < m_list->count()
                              ? m_list->item(m_hoverIndex)->text()
                              : QString();
            m_popup->popup(menuEvent->globalPos());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Tspylist::popup_kickhimClick()
{
    // The entry that was under the pointer when the menu opened; the list may
    // have changed since, so it is found again by its text.
    if (m_menuEntry.isEmpty() || !m_kick->isEnabled() || !entries().contains(m_menuEntry))
        return;
    const int seat = seatOf(m_menuEntry);
    if (seat < 0)
        return;
    emit kickRequested(seat);
}

void Tspylist::button_doneClick()
{
    close();
}
