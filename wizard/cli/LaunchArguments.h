#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// What Flitto was started to be, decided before any application object
// exists: the wizard takes only Qt's own options and --settings; anything
// else, a mistyped option or a stray word included, makes it the command
// line, whose parser then names what is wrong. A script must never find a
// window open, or an abort, because of a typo.
namespace LaunchArguments {

// One of Qt's own options for a window (-platform, -style...), which the
// wizard passes on to Qt with its value.
struct QtOption
{
    const char *Name; // without the leading "-"
    bool TakesValue;  // the next argument, or after "="
    const char *Help;
};
const QList<QtOption> &QtOptions();

struct Choice
{
    bool CommandLine = false;
    // --settings FILE: the installation's settings file, instead of the one
    // beside the program.
    std::optional<QByteArray> SettingsFile;
};
Choice Classify(int argc, char **argv);

// The arguments without Qt's own options and their values: what the
// command line's parser reads.
QList<QByteArray> WithoutQtOptions(int argc, char **argv);

} // namespace LaunchArguments
