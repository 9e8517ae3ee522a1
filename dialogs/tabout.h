#pragma once

#include <QDialog>

class QLabel;

// The about box. Its version label is the one place the version text lives:
// the login sends what it shows.
class Tabout : public QDialog
{
    Q_OBJECT
public:
    explicit Tabout(QWidget *parent = nullptr);
    QString versionText() const;

private:
    QLabel *m_version = nullptr;
};
