#pragma once

#include <QLatin1String>
#include <QList>
#include <QString>

class QWidget;

// The verbs the tree and the dialog ask for by name; a namespace may offer
// others. Verbs are always compared with TRzShellCommands::SameVerb.
namespace TRzShellVerb {
inline constexpr QLatin1String Open{"open"};
inline constexpr QLatin1String CopyPath{"copypath"};
inline constexpr QLatin1String Rename{"rename"};
inline constexpr QLatin1String Delete{"delete"};
} // namespace TRzShellVerb

// One entry of an item's context commands.
struct TRzShellCommand
{
    QString verb;    // language-neutral name, matched without regard to case
    QString caption; // menu text with its accelerator
    bool enabled = true;
};

// The context commands of one namespace item, as a menu that can be shown
// and as verbs that can be carried out. The verb "rename" is listed only when
// it was offered; the tree edits the label itself instead of invoking it.
class TRzShellCommands
{
public:
    enum class Outcome
    {
        Done,     // carried out
        Declined, // the user said no, or the command is disabled
        Failed,   // tried and failed; the command told the user why
        Unknown,  // no command has that verb
    };

    virtual ~TRzShellCommands();

    // The one way verbs are compared: without regard to case.
    static bool SameVerb(const QString &a, const QString &b);

    const QList<TRzShellCommand> &Commands() const { return m_commands; }
    const TRzShellCommand *Find(const QString &verb) const;
    // Keeps the command in the menu but refuses to carry it out.
    void Disable(const QString &verb);

    // Carries out a command; it may ask the user, with window as the parent of
    // its boxes. A disabled command is never carried out.
    Outcome Invoke(const QString &verb, QWidget *window);

protected:
    void Add(const QString &verb, const QString &caption, bool enabled = true);
    virtual Outcome Run(const QString &verb, QWidget *window) = 0;

private:
    TRzShellCommand *FindMutable(const QString &verb);

    QList<TRzShellCommand> m_commands;
};
