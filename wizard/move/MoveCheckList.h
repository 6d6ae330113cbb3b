#pragma once

#include "wizard/move/MoveChecks.h"
#include "wizard/move/MovePlan.h"
#include "wizard/move/MoveView.h"

#include <QList>
#include <QString>

#include <memory>

class MoveLock;

// The checks a move runs before its first byte, as one list in the order
// the user meets them. The window's Ready page, the command line, its dry
// run and the move log all go through this list, so a refusal, its report
// and its log line cannot disagree. A new check is a new entry here, and
// nowhere else.
namespace MoveCheckList {

// What the checks share while the list runs.
struct Context
{
    const MovePlan &Plan;
    QByteArray SourcePrefix; // the data folder, ending in "/"
    MoveLock &Lock;
    // The data folder, open once a check has listed it, and held by the move.
    FileUtil::FileHandle &DataFolder;
    // The data folder's files, once a check has listed them.
    QList<MoveChecks::SourceFile> Files;
    // The new folder, made before the first check that looks into it and
    // held by the move to its end.
    std::unique_ptr<MoveChecks::NewFolder> &Folder;
    // Flitto's own files removed from the new folder and beside the
    // settings file (in a dry run: that would be), for the log.
    QByteArrayList LeftoversRemoved;
    bool DryRun = false; // nothing is removed
};

// What a check found; nothing (an empty text) when it passed.
struct Finding
{
    QString Text;    // what the user reads: why, and what to do
    QString LogText; // the move log's shorter form; empty: Text
};

// How the user answers a finding.
enum class Answer
{
    None,              // a finding refuses the move
    GoOnOrBack,        // go on anyway, or go back and choose again (Check::GoOn)
    RetryIgnoreCancel, // look again, go on anyway, or end the move
};

struct Check
{
    QString Name; // as the move log names it
    Answer Asks = Answer::None;
    bool LocalOnly = false;   // only when the settings file gets the new folder
    bool InNewFolder = false; // needs the new folder made and open
    Finding (*Test)(Context &) = nullptr;
    // GoOnOrBack: the view's question; true goes on.
    bool (MoveView::*GoOn)(const QString &text) = nullptr;
};

// Every check, in order.
const QList<Check> &Checks();

} // namespace MoveCheckList
