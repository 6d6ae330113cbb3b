#include "widgets/shell/TRzSelectFolderDialog.h"

TRzSelectFolderDialog::TRzSelectFolderDialog(QObject *parent) : TRzCustomSelectFolderDialog(parent)
{}
