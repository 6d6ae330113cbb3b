#pragma once

#include <QWidget>

// The wizard's main window.
class TfrmMain : public QWidget
{
    Q_OBJECT

public:
    explicit TfrmMain(QWidget *parent = nullptr);
};
