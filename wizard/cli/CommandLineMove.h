#pragma once

#include "wizard/move/MoveErrors.h"

#include <QString>

#include <functional>

// Moves the database from a terminal or a script: flitto --move-to FOLDER.
// No window and no display: the same checks, copy, proof, settings change
// and log entry as the wizard, with answers given by options instead of
// questions.
namespace CommandLineMove {

// How a command-line run ends: the move's exit codes.
using MoveErrors::ExitCode;

// True when the arguments hold one of the command line's own options; the
// wizard's own arguments (Qt's -platform, -style...) do not count.
bool Wanted(int argc, char **argv);

// Runs the command line and returns its exit code. Creates the
// application object itself (one without a display); version gives the
// program's version text for --version.
int Run(int argc, char **argv, const std::function<QString()> &version);

} // namespace CommandLineMove
