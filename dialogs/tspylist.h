#pragma once

#include <QDialog>

class Tspylist : public QDialog
{
    Q_OBJECT
public:
    explicit Tspylist(QWidget *parent = nullptr);
};
