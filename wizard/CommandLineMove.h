#pragma once

#include <QString>

#include <functional>

// Moves the database from a terminal or a script: flitto --move-to FOLDER.
// No window and no display: the same checks, copy, proof, settings change
// and log entry as the wizard, with answers given by options instead of
// questions.
namespace CommandLineMove {

// How a command-line run ends.
enum ExitCode : int
{
    Done = 0,
    UsageError = 2,     // unknown option, missing or clashing arguments
    Refused = 3,        // a check refused the move, or a question was answered no
    CopyFailed = 4,     // the copy could not be made; the settings are unchanged
    ProofFailed = 5,    // a copy did not read back as its source; the settings are unchanged
    SettingsFailed = 6, // the copy is proven, but the settings file was not written
    // A signal stopped the move: 128 + its number (130 Ctrl-C, 143 SIGTERM,
    // 129 SIGHUP), as a shell reports it.
    InterruptedBase = 128,
};

// True when the arguments hold one of the command line's own options; the
// wizard's own arguments (Qt's -platform, -style...) do not count.
bool Wanted(int argc, char **argv);

// Runs the command line and returns its exit code. Creates the
// application object itself (one without a display); version gives the
// program's version text for --version.
int Run(int argc, char **argv, const std::function<QString()> &version);

} // namespace CommandLineMove
