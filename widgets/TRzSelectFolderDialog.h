#pragma once

#include <QObject>
#include <QString>

// Interim stand-in for the folder selection dialog: shows the toolkit's own
// folder picker until the dialog with its shell folder tree lands.
class TRzSelectFolderDialog : public QObject
{
    Q_OBJECT

public:
    explicit TRzSelectFolderDialog(QObject *parent = nullptr);

    QString SelectedPath() const { return m_selectedPath; }
    void SetSelectedPath(const QString &path) { m_selectedPath = path; }
    // Shows the dialog modally; true when the user chose a folder with OK.
    bool Execute();

private:
    QString m_selectedPath;
};
