#pragma once

#include <QDialog>

class QLabel;
class QStackedWidget;
class QTextBrowser;
class Tabout;

// The help window: seven fixed pages, switched by the buttons on its left.
class Thelp : public QDialog
{
    Q_OBJECT
public:
    static constexpr int PageCount = 7;

    explicit Thelp(QWidget *parent = nullptr);

    // The about box that the "About" button shows; may stay unset.
    void setAboutBox(Tabout *about) { m_about = about; }

    // The number of the page in front (the "memo" number, 1 to 7).
    int currentPage() const;
    // Brings page n (1 to 7) to the front, as its button does.
    void showPage(int n);

    // The text of each page, as rich text.
    static QString pageText(int n);

signals:
    // "About" was pressed; emitted whether or not an about box is set.
    void aboutRequested();

public slots:
    void SelButton1Click();
    void button_aboutClick();
    void button_doneClick();

private:
    QLabel *m_caption = nullptr;
    QStackedWidget *m_pages = nullptr;
    QTextBrowser *m_memo[PageCount] = {};
    Tabout *m_about = nullptr;
};
