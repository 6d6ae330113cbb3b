#include "wizard/cli/LaunchArguments.h"

#include <cstring>

namespace LaunchArguments {

namespace {

// The Qt option argument i is, or nothing. Qt takes "-name" and "--name"
// alike, and a value either as the next argument or after "=".
const QtOption *QtOptionAt(const QByteArray &arg)
{
    if (!arg.startsWith('-') || arg == "-" || arg == "--")
        return nullptr;
    QByteArray name = arg.mid(arg.startsWith("--") ? 2 : 1);
    if (const qsizetype equals = name.indexOf('='); equals >= 0)
        name.truncate(equals);
    for (const QtOption &option : QtOptions())
        if (name == option.Name)
            return &option;
    return nullptr;
}

// How many arguments from i on the Qt option there takes: 0 when it is none.
int QtOptionLength(int argc, char **argv, int i)
{
    const QByteArray arg(argv[i]);
    const QtOption *option = QtOptionAt(arg);
    if (!option)
        return 0;
    if (option->TakesValue && !arg.contains('=') && i + 1 < argc)
        return 2;
    return 1;
}

} // namespace

const QList<QtOption> &QtOptions()
{
    static const QList<QtOption> options = {
        {"platform", true, "the windowing system plugin (xcb, wayland, offscreen...)"},
        {"platformpluginpath", true, "where to look for that plugin"},
        {"platformtheme", true, "the platform theme"},
        {"plugin", true, "an extra input plugin"},
        {"display", true, "the X display"},
        {"geometry", true, "the main window's geometry"},
        {"qwindowgeometry", true, "the main window's geometry"},
        {"qwindowicon", true, "the window icon"},
        {"qwindowtitle", true, "the window title"},
        {"session", true, "the session to restore"},
        {"style", true, "the widget style"},
        {"stylesheet", true, "a style sheet"},
        {"reverse", false, "lay the window out right to left"},
        {"widgetcount", false, "print the number of widgets at the end"},
    };
    return options;
}

Choice Classify(int argc, char **argv)
{
    Choice choice;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (const int length = QtOptionLength(argc, argv, i); length > 0) {
            i += length - 1;
        } else if (arg == "--settings" && i + 1 < argc) {
            choice.SettingsFile = QByteArray(argv[++i]);
        } else if (arg.startsWith("--settings=")) {
            choice.SettingsFile = arg.mid(int(std::strlen("--settings=")));
        } else {
            choice.CommandLine = true;
        }
    }
    return choice;
}

QList<QByteArray> WithoutQtOptions(int argc, char **argv)
{
    QList<QByteArray> kept;
    for (int i = 0; i < argc; ++i) {
        // The program's own name is never an option.
        const int length = i == 0 ? 0 : QtOptionLength(argc, argv, i);
        if (length > 0)
            i += length - 1;
        else
            kept << QByteArray(argv[i]);
    }
    return kept;
}

} // namespace LaunchArguments
