#include "fileutil/FileUtil.h"
#include "wizard/cli/CommandLineMove.h"
#include "wizard/version/TRzVersionInfo.h"
#include "wizard/window/FlittoApplication.h"
#include "wizard/window/TfrmMain.h"

#include <csignal>
#include <malloc.h>

int main(int argc, char **argv)
{
    // A file size limit (ulimit -f) must fail a write like a full disk, with
    // its message and with the half-written copy removed, instead of killing
    // the program in the middle of a file.
    std::signal(SIGXFSZ, SIG_IGN);
    // One malloc arena for every thread: the copy's thread then reuses what
    // the checks freed on the main thread, instead of growing an arena of
    // its own by the size of a large folder's file list. Flitto's threads
    // spend their time waiting for the disk, not for the allocator.
    ::mallopt(M_ARENA_MAX, 1);
    // Decided before any application object exists: a move from the
    // command line must never open a display.
    const LaunchArguments::Choice choice = LaunchArguments::Classify(argc, argv);
    if (choice.CommandLine)
        return CommandLineMove::Run(
            argc, argv, [] { return TRzVersionInfo().Value(TRzVersionInfo::FileVersion); });
    if (const int refused = CommandLineMove::RefuseWizard(choice, argc, argv);
        refused != CommandLineMove::ExitCode::Done)
        return refused;
    FlittoApplication app(argc, argv);
    // Flitto runs in the Quillbox folder it was copied into: the folder of
    // its own executable, whatever the current folder is, unless --settings
    // names the installation's settings file.
    const QByteArray settingsFile =
        choice.SettingsFile ? CommandLineMove::AbsolutePath(*choice.SettingsFile) : QByteArray();
    TfrmMain frmMain(settingsFile.isEmpty() ? FileUtil::ProgramFolder()
                                            : FileUtil::FolderOfPath(settingsFile),
                     settingsFile);
    frmMain.show();
    return app.exec();
}
