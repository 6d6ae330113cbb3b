#include "TRzProgressBar.h"

#include "TRzFrameController.h"

TRzProgressBar::TRzProgressBar(QWidget *parent) : TRzCustomProgressBar(parent) {}

void TRzProgressBar::Change(int percent)
{
    Q_EMIT OnChange(this, percent);
}
