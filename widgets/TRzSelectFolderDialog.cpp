#include "TRzSelectFolderDialog.h"

TRzSelectFolderDialog::TRzSelectFolderDialog(QObject *parent) : TRzCustomSelectFolderDialog(parent)
{}
