#include "widgets/shell/TRzShellCommands.h"

TRzShellCommands::~TRzShellCommands() = default;

bool TRzShellCommands::SameVerb(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

const TRzShellCommand *TRzShellCommands::Find(const QString &verb) const
{
    for (const TRzShellCommand &command : m_commands) {
        if (SameVerb(command.verb, verb))
            return &command;
    }
    return nullptr;
}

TRzShellCommand *TRzShellCommands::FindMutable(const QString &verb)
{
    return const_cast<TRzShellCommand *>(std::as_const(*this).Find(verb));
}

void TRzShellCommands::Disable(const QString &verb)
{
    if (TRzShellCommand *command = FindMutable(verb))
        command->enabled = false;
}

TRzShellCommands::Outcome TRzShellCommands::Invoke(const QString &verb, QWidget *window)
{
    const TRzShellCommand *command = Find(verb);
    if (!command)
        return Outcome::Unknown;
    if (!command->enabled)
        return Outcome::Declined;
    return Run(command->verb, window);
}

void TRzShellCommands::Add(const QString &verb, const QString &caption, bool enabled)
{
    m_commands.append(TRzShellCommand{verb, caption, enabled});
}
