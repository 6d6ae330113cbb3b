#pragma once

#include "wizard/cli/LaunchArguments.h"
#include "wizard/move/MoveErrors.h"

#include <QByteArray>
#include <QString>

#include <functional>

// Moves the database from a terminal or a script: flitto --move-to FOLDER.
// No window and no display: the same checks, copy, proof, settings change
// and log entry as the wizard, with answers given by options instead of
// questions.
namespace CommandLineMove {

// How a command-line run ends: the move's exit codes.
using MoveErrors::ExitCode;

// Before the wizard starts: a usage error (a --settings file that is not
// there) or no display is told in one line; its exit code, or Done when
// the wizard may start.
int RefuseWizard(const LaunchArguments::Choice &choice, int argc, char **argv);

// A path given relative to the current folder, made absolute; its bytes as
// they came otherwise.
QByteArray AbsolutePath(const QByteArray &path);

// Runs the command line and returns its exit code. Creates the
// application object itself (one without a display); version gives the
// program's version text for --version.
int Run(int argc, char **argv, const std::function<QString()> &version);

} // namespace CommandLineMove
