#include "TfrmMain.h"

TfrmMain::TfrmMain(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Flitto"));
    setFixedSize(574, 335);
}
