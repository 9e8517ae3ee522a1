#pragma once

#include <QDialog>
#include <QImage>

class QLabel;

// The about box: logo, our web address, credits and the version. Its version
// label is the one place the version text lives: the login sends what it shows.
class Tabout : public QDialog
{
    Q_OBJECT
public:
    // Shown in Label7; clicking it opens "http://" + this address.
    static const char *const WebAddress;

    explicit Tabout(QWidget *parent = nullptr);
    QString versionText() const;

    // The game's logo, 235 x 63 on a transparent ground, drawn by the program.
    static QImage renderLogo();

public slots:
    void Label7Click();
    void Button1Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_version = nullptr;
    QLabel *m_address = nullptr;
};
