#include "TRzSelectFolderDialog.h"

#include <QApplication>
#include <QFileDialog>

TRzSelectFolderDialog::TRzSelectFolderDialog(QObject *parent) : QObject(parent) {}

bool TRzSelectFolderDialog::Execute()
{
    const QString chosen = QFileDialog::getExistingDirectory(
        QApplication::activeWindow(), QString(), m_selectedPath,
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (chosen.isEmpty())
        return false;
    m_selectedPath = chosen;
    return true;
}
