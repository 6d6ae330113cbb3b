#include "widgets/shell/TRzShellDialog.h"

#include "fileutil/Exception.h"

TRzShellDialog::TRzShellDialog(QObject *parent) : QObject(parent) {}

TRzShellDialog::ExecutingScope::ExecutingScope(TRzShellDialog &dialog) : m_dialog(dialog)
{
    if (m_dialog.m_executing)
        throw Exception(QLatin1String(m_dialog.metaObject()->className()) +
                        QLatin1String(" already executing"));
    m_dialog.m_executing = true;
}

TRzShellDialog::ExecutingScope::~ExecutingScope()
{
    m_dialog.m_executing = false;
}
