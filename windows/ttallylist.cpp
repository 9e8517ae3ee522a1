#include "windows/ttallylist.h"
#include "windows/accessiblecaption.h"

#include "app/appfolders.h"
#include "ui/widgets.h"

#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <utility>

namespace {

const QColor maroon(128, 0, 0);

void paintMaroon(QWidget *widget)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, maroon);
    pal.setColor(QPalette::Text, maroon);
    widget->setPalette(pal);
}

QLabel *caption(QWidget *parent, const QString &text, const QRect &geometry,
                Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter, const QString &name = QString())
{
    auto *label = new QLabel(text, parent);
    if (!name.isEmpty())
        label->setObjectName(name);
    label->setFont(Widgets::arial(13, true));
    paintMaroon(label);
    label->setAlignment(align);
    label->setGeometry(geometry);
    return label;
}

// A framed panel with its title across the top.
QFrame *panel(QWidget *parent, const QString &name, const QRect &geometry, QLabel **title,
              const QString &titleName = QString())
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(name);
    frame->setGeometry(geometry);
    frame->setStyleSheet(QStringLiteral("QFrame#%1 { background: rgba(255, 255, 255, 225);"
                                        " border: 1px solid rgb(176, 128, 128); border-radius: 3px; }")
                             .arg(name));
    auto *band = new QFrame(frame);
    band->setObjectName(name + QStringLiteral("_band"));
    band->setGeometry(1, 1, geometry.width() - 2, 24);
    band->setStyleSheet(QStringLiteral("QFrame#%1 { background: rgba(128, 0, 0, 18);"
                                       " border: none; border-bottom: 1px solid rgb(206, 170, 170); }")
                            .arg(band->objectName()));
    *title = caption(frame, QString(), QRect(1, 1, geometry.width() - 2, 24), Qt::AlignCenter, titleName);
    (*title)->setFont(Widgets::arial(19, true));
    return frame;
}

QListWidget *checkList(QWidget *parent, const QString &name, const QRect &geometry)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(name);
    list->setGeometry(geometry);
    list->setFont(Widgets::arial(13, true));
    QPalette pal = list->palette();
    pal.setColor(QPalette::Text, maroon);
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Highlight, maroon);
    pal.setColor(QPalette::HighlightedText, Qt::white);
    list->setPalette(pal);
    list->setFrameShape(QFrame::Box);
    list->setStyleSheet(QStringLiteral("QListWidget#%1 { border: 1px solid rgb(176, 128, 128); }").arg(name));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

QPushButton *flatButton(QWidget *parent, const QString &name, const QString &text, const QRect &geometry)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFont(Widgets::arial(13, true));
    button->setStyleSheet(QStringLiteral(
        "QPushButton { background: rgb(212, 208, 200); border: 1px solid black; color: black; }"
        "QPushButton:hover { color: rgb(128, 0, 0); }"
        "QPushButton:pressed { background: rgb(192, 188, 180); }"));
    return button;
}

} // namespace

QString Ttallylist::defaultTallyPath()
{
    return QDir(tallyFolder()).filePath(TallyTable::fileName());
}

Ttallylist::Ttallylist(QWidget *parent) : Ttallylist(defaultTallyPath(), parent)
{
}

Ttallylist::Ttallylist(const QString &tallyPath, QWidget *parent) : QDialog(parent), m_path(tallyPath)
{
    confirm = [this](const QString &question) {
        return QMessageBox::question(this, QStringLiteral("Confirm"), question,
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    buildWindow();
    FormCreate();
}

Ttallylist::~Ttallylist()
{
    FormDestroy();
}

void Ttallylist::buildWindow()
{
    setObjectName(QStringLiteral("Ttallylist"));
    setWindowTitle(QStringLiteral("Sudoku  - Tally List"));
    setFixedSize(462, 349);
    move(143, 107);
    setFont(Widgets::arial(13));
    Widgets::applyTiledBackground(this);

    // Your Total Tally
    QLabel *totalTitle = nullptr;
    QFrame *total = panel(this, QStringLiteral("panel_total"), QRect(2, 3, 297, 86), &totalTitle);
    totalTitle->setText(QStringLiteral("Your Total Tally"));
    caption(total, QStringLiteral("Total Games:"), QRect(0, 34, 157, 17), Qt::AlignRight | Qt::AlignVCenter);
    caption(total, QStringLiteral("Your Wins"), QRect(0, 58, 157, 17), Qt::AlignRight | Qt::AlignVCenter);
    for (int i = 1; i <= 4; ++i) {
        const int y = i == 1 ? 34 : 58;
        m_mylabel[i] = caption(total, QStringLiteral("0"), QRect(162, y, 59, 17), Qt::AlignCenter,
                               QStringLiteral("mylabel_%1").arg(i));
    }
    for (int i = 3; i <= 4; ++i) {
        m_mylabel[i]->hide();
        caption(total, QStringLiteral("Var%1:").arg(i), QRect(0, 58, 157, 17), Qt::AlignRight | Qt::AlignVCenter)
            ->hide();
    }

    // The record of one opponent.
    QFrame *record = panel(this, QStringLiteral("panel_record"), QRect(2, 90, 297, 140), &m_hisnametop,
                           QStringLiteral("label_hisnametop"));
    QFont underlined = Widgets::arial(13, true);
    underlined.setUnderline(true);
    caption(record, QStringLiteral("Total"), QRect(150, 29, 60, 17))->setFont(underlined);
    caption(record, QStringLiteral("Session"), QRect(230, 29, 64, 17))->setFont(underlined);
    const int rowY[4] = {48, 72, 96, 120};
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    caption(record, QStringLiteral("Number of Games"), QRect(0, rowY[0], 135, 17), right);
    m_hisname = caption(record, QStringLiteral("XX Wins:"), QRect(0, rowY[1], 135, 17), right,
                        QStringLiteral("label_hisname"));
    caption(record, QStringLiteral("Your Wins:"), QRect(0, rowY[2], 135, 17), right);
    caption(record, QStringLiteral("Neither Won:"), QRect(0, rowY[3], 135, 17), right);
    for (int i = 1; i <= 8; ++i) {
        const QRect place = i <= 4 ? QRect(138, rowY[i - 1], 59, 17) : QRect(223, rowY[i - 5], 68, 17);
        m_label[i] = caption(record, QStringLiteral("0"), place, Qt::AlignCenter, QStringLiteral("label_%1").arg(i));
    }

    caption(this, QStringLiteral("Players In Current Game"), QRect(66, 230, 233, 17));
    m_checklist = checkList(this, QStringLiteral("checklist"), QRect(2, 247, 297, 98));
    m_checklist->setAccessibleName(QStringLiteral("Players In Current Game"));
    caption(this, QStringLiteral("Players Being Tallied"), QRect(301, 3, 160, 16));
    m_tallylist = checkList(this, QStringLiteral("listbox_tally"), QRect(301, 19, 160, 299));
    m_tallylist->setAccessibleName(QStringLiteral("Players Being Tallied"));
    AccessibleCaption::set(m_hisnametop, QStringLiteral("Record"));

    m_reset = flatButton(this, QStringLiteral("button_resettally"), QStringLiteral("Reset Tally"),
                         QRect(301, 321, 80, 23));
    m_done = flatButton(this, QStringLiteral("button_done"), QStringLiteral("Done"), QRect(384, 321, 74, 23));

    connect(m_checklist, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        if (!m_quiet)
            checklistClickCheck(m_checklist->row(item));
    });
    connect(m_tallylist, &QListWidget::currentRowChanged, this, [this] {
        if (!m_quiet)
            listbox_tallyClick();
    });
    connect(m_tallylist, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        if (m_quiet || item->checkState() != Qt::Unchecked)
            return;
        // Asked once the click is over, so the question never runs inside
        // the list's own handling of the click.
        const int index = m_tallylist->row(item);
        const QString name = item->text();
        QMetaObject::invokeMethod(
            this,
            [this, index, name] {
                QListWidgetItem *now = m_tallylist->item(index);
                if (now && now->text() == name && now->checkState() == Qt::Unchecked)
                    listbox_tallyClickCheck(index);
            },
            Qt::QueuedConnection);
    });
    connect(m_reset, &QPushButton::clicked, this, &Ttallylist::button_resettallyClick);
    connect(m_done, &QPushButton::clicked, this, &Ttallylist::button_doneClick);
}

// ---- loading and saving ----

void Ttallylist::FormCreate()
{
    const TallyTable::LoadResult result = m_table.load(m_path);
    loadtally();
    if (!result.ok)
        showError(result.message());
}

void Ttallylist::loadtally()
{
    showTotals();
    m_quiet = true;
    m_tallylist->clear();
    for (const QString &name : m_table.names())
        addCheckItem(m_tallylist, name, true);
    m_quiet = false;
}

void Ttallylist::FormDestroy()
{
    if (!m_table.save(m_path))
        std::fprintf(stderr, "sudoku: the tally could not be saved to %s\n", qPrintable(m_path));
}

bool Ttallylist::save()
{
    if (m_table.save(m_path))
        return true;
    // The counts stay in the table, and every later save writes them all.
    if (!std::exchange(m_toldSaveFailure, true))
        emit saveFailed(saveFailureLine(SaveFailure::Tally, m_path));
    return false;
}

// ---- counting ----

void Ttallylist::addgame(const QString &winner)
{
    if (m_playersSource)
        loadchecklist(m_playersSource());
    QStringList seated;
    for (int i = 0; i < m_checklist->count(); ++i)
        seated.append(m_checklist->item(i)->text());
    try {
        m_table.addgame(winner, seated);
    } catch (const GameError &e) {
        showError(e.text());
    }
    showTotals();
    if (m_tallylist->currentRow() >= 0)
        listbox_tallyClick();
    save();
}

void Ttallylist::addgame(const QString &winner, const QStringList &players)
{
    loadchecklist(players);
    const auto source = std::exchange(m_playersSource, nullptr);
    addgame(winner);
    m_playersSource = source;
}

void Ttallylist::addtomineincrease(int column)
{
    const int count = m_table.addtomineincrease(column);
    if (column >= 1 && column <= 4)
        m_mylabel[column]->setText(QString::number(count));
}

void Ttallylist::moverow(int row)
{
    m_table.moverow(row);
}

void Ttallylist::showTotals()
{
    for (int i = 1; i <= 4; ++i)
        m_mylabel[i]->setText(m_table.cell(i, 0));
}

// ---- the lists ----

QListWidgetItem *Ttallylist::addCheckItem(QListWidget *list, const QString &name, bool checked)
{
    auto *item = new QListWidgetItem(name);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    list->addItem(item);
    return item;
}

void Ttallylist::setCheckedQuietly(QListWidgetItem *item, bool checked)
{
    m_quiet = true;
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    m_quiet = false;
}

void Ttallylist::loadchecklist(const QStringList &names)
{
    m_quiet = true;
    m_checklist->clear();
    for (const QString &name : names)
        addCheckItem(m_checklist, name, m_table.findRecord(name) > 0);
    m_quiet = false;
}

void Ttallylist::checklistClickCheck(int index)
{
    QListWidgetItem *item = m_checklist->item(index);
    if (!item)
        return;
    const QString name = item->text();
    if (m_table.findRecord(name) > 0)
        return;
    m_table.appendRecord(name);
    m_quiet = true;
    addCheckItem(m_tallylist, name, true);
    m_quiet = false;
    save();
}

void Ttallylist::listbox_tallyClick()
{
    const int r = m_tallylist->currentRow() + 1;
    if (r < 1 || r >= m_table.rowCount())
        return;
    for (int i = 1; i <= 8; ++i)
        m_label[i]->setText(m_table.cell(i, r));
    m_hisname->setText(m_table.cell(0, r) + QStringLiteral(" Wins:"));
    m_hisnametop->setText(m_table.cell(0, r) + QStringLiteral("'s Tally"));
}

void Ttallylist::listbox_tallyClickCheck(int index)
{
    QListWidgetItem *item = m_tallylist->item(index);
    if (!item || item->checkState() != Qt::Unchecked)
        return;
    const QString question =
        QStringLiteral("This will delete ") + item->text() + QStringLiteral("'s Tally, Are you want to delete it?");
    if (!confirm || !confirm(question)) {
        // The box may have gone while the question was open.
        if (QListWidgetItem *again = m_tallylist->item(index); again == item)
            setCheckedQuietly(item, true);
        return;
    }
    if (m_tallylist->item(index) != item)
        return;
    moverow(index + 1);
    // The panel keeps the deleted record's counts until another is chosen.
    m_quiet = true;
    delete m_tallylist->takeItem(index);
    m_tallylist->setCurrentRow(-1);
    m_quiet = false;
    save();
}

void Ttallylist::button_resettallyClick()
{
    if (!confirm || !confirm(QStringLiteral("Are you sure you want to reset the Tally?")))
        return;
    m_table.reset();
    showTotals();
    m_quiet = true;
    m_tallylist->clear();
    m_quiet = false;
    for (int i = 1; i <= 8; ++i)
        m_label[i]->setText(QStringLiteral("0"));
    save();
}

void Ttallylist::button_doneClick()
{
    close();
}

void Ttallylist::showError(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Sudoku"), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("tallyError"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
