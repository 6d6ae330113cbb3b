#pragma once

#include <exception>

// How a move ends for a script: one exit code for each way it can end, and
// the one mapping from an error to its code. The text of an error comes
// from ReportOf (fileutil/Exception.h), which the window shows too.
namespace MoveErrors {

enum ExitCode : int
{
    Done = 0,
    Unexpected = 1,     // an error Flitto did not expect, before the copy began
    UsageError = 2,     // unknown option, missing or clashing arguments
    Refused = 3,        // a check refused the move, or a question was answered no
    CopyFailed = 4,     // the copy could not be made; the settings are unchanged
    ProofFailed = 5,    // a copy did not read back as its source; the settings are unchanged
    SettingsFailed = 6, // the copy is proven, but the settings file was not written
    // A signal stopped the move: 128 + its number (130 Ctrl-C, 143 SIGTERM,
    // 129 SIGHUP), as a shell reports it.
    InterruptedBase = 128,
};

// Where in the move an error came.
enum class Stage
{
    Before,   // reading the installation, before the checks
    Checks,   // the checks: nothing is written yet
    Copy,     // the copy and its proof: the settings are unchanged
    Settings, // every copy is proven; the settings file is being written
};

// The exit code of an error raised at stage. Before the copy, an error of
// Flitto's own is a refusal and any other error is unexpected. From the copy on, the stage alone
// tells the script what holds, whatever the error was.
ExitCode ExitCodeOf(const std::exception_ptr &error, Stage stage);

} // namespace MoveErrors
