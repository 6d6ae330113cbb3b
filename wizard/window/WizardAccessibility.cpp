#include "wizard/window/WizardAccessibility.h"

#include "widgets/buttonedit/TRzButtonEdit.h"
#include "widgets/buttonedit/TRzControlButton.h"
#include "widgets/look/Accessibility.h"

#include <QComboBox>
#include <QLabel>

using Accessibility::Entry;
using Accessibility::Kind;

namespace {

constexpr char NextText[] = "Goes on to the next page";

constexpr Entry MainWindowEntries[] = {
    {"frmMain", Kind::OwnText, nullptr,
     "Moves the Quillbox database to a new folder, page by page"},
    {"RzPanel1", Kind::Decorative, nullptr, nullptr},
    {"Image2", Kind::Decorative, nullptr, nullptr},
    {"RzPanel2", Kind::Named, "Wizard buttons", "Moves between the pages of the wizard"},
    {"btnAbout", Kind::OwnText, nullptr, "Shows the version and the support contacts"},
    {"btnPrevious", Kind::OwnText, nullptr, "Goes back to the previous page"},
    {"btnNext", Kind::OwnText, nullptr, NextText},
    {"btnCancel", Kind::OwnText, nullptr, "Stops the wizard, or the move while it runs"},
    {"btnExit", Kind::OwnText, nullptr, "Closes the wizard"},
    {"pagScreens", Kind::Named, "Wizard pages", "The page the wizard is on"},

    {"tabWelcome", Kind::Named, "Welcome", "First page: what the wizard does"},
    {"RzLabel4", Kind::OwnText, nullptr, "Page heading"},
    {"RTFLabel1", Kind::OwnText, nullptr, "What the wizard does"},
    {"pnlNoIni", Kind::Named, "Settings file missing", "Why the wizard cannot continue"},
    {"Image3", Kind::Decorative, nullptr, nullptr},
    {"lblNoIni", Kind::OwnText, nullptr, "Why the wizard cannot continue"},

    {"tabConnection", Kind::Named, "Connection", "How Quillbox connects to its database"},
    {"tabConnectionIcon", Kind::Decorative, nullptr, nullptr},
    {"RzLabel11", Kind::OwnText, nullptr, "Page heading"},
    {"RTFLabel9", Kind::OwnText, nullptr, "Explanation of the connection mode"},
    {"RzLabel12", Kind::OwnText, nullptr, "Caption of the connection mode"},
    {"comConnectionMode", Kind::Named, "Connection mode",
     "Local when Quillbox reads the database directly, remote when it goes through its server"},
    {"RTFLabel10", Kind::OwnText, nullptr, "How to go on"},

    {"tabLocalSource", Kind::Named, "Local Source", "Where the database is now"},
    {"tabLocalSourceIcon", Kind::Decorative, nullptr, nullptr},
    {"RzLabel2", Kind::OwnText, nullptr, "Page heading"},
    {"RTFLabel2", Kind::OwnText, nullptr, "Explanation of the current location"},
    {"RzLabel1", Kind::OwnText, nullptr, "Caption of the current location"},
    {"edtCurrentDir", Kind::Named, "Current location of the database",
     "The folder that holds the database now, as the settings give it; Browse, or F4, "
     "chooses another"},
    {"RTFLabel4", Kind::OwnText, nullptr, "How to go on"},

    {"tabRemoteSource", Kind::Named, "Remote Source", "Where the database is now"},
    {"tabRemoteSourceIcon", Kind::Decorative, nullptr, nullptr},
    {"RzLabel3", Kind::OwnText, nullptr, "Page heading"},
    {"RTFLabel3", Kind::OwnText, nullptr, "Why the current location must be given"},
    {"RzLabel13", Kind::OwnText, nullptr, "Caption of the current location"},
    {"edtRemoteDir", Kind::Named, "Current location of the database on the server",
     "The folder that holds the database now, as this computer reaches it; Browse, or F4, "
     "chooses it"},
    {"RTFLabel11", Kind::OwnText, nullptr, "How to go on"},

    {"tabTarget", Kind::Named, "Target", "Where the database goes"},
    {"tabTargetIcon", Kind::Decorative, nullptr, nullptr},
    {"RzLabel5", Kind::OwnText, nullptr, "Page heading"},
    {"RTFLabel5", Kind::OwnText, nullptr, "Explanation of the new location"},
    {"RzLabel6", Kind::OwnText, nullptr, "Caption of the new location"},
    {"edtNewDir", Kind::Named, "New location of the database",
     "The folder the database is moved to; Browse, or F4, chooses it"},
    {"RTFLabel6", Kind::OwnText, nullptr, "How to go on"},
    {"RzPanel3", Kind::Named, "Hint", "A hint about the new location"},
    {"Image9", Kind::Decorative, nullptr, nullptr},
    {"RTFLabel12", Kind::OwnText, nullptr, "A hint about the new location"},

    {"tabReady", Kind::Named, "Ready", "The move about to start"},
    {"tabReadyIcon", Kind::Decorative, nullptr, nullptr},
    {"RzLabel7", Kind::OwnText, nullptr, "Page heading"},
    {"RTFLabel7", Kind::OwnText, nullptr, "What the move does"},
    {"RzLabel9", Kind::OwnText, nullptr, "Caption of the current location"},
    {"RzLabel10", Kind::OwnText, nullptr, "Caption of the new location"},
    {"lblCopyFrom", Kind::OwnText, nullptr, "The folder the database is copied from"},
    {"lblCopyTo", Kind::OwnText, nullptr, "The folder the database is copied to"},
    {"RTFLabel13", Kind::OwnText, nullptr, "How to go on"},

    {"tabMove", Kind::Named, "Move", "The move while it runs"},
    {"tabMoveIcon", Kind::Decorative, nullptr, nullptr},
    {"RzLabel14", Kind::OwnText, nullptr, "Page heading"},
    {"lblStatus", Kind::OwnText, nullptr, "What the move is doing"},
    {"barProgress", Kind::Named, "Progress of the move", "The share of the database copied"},
    {"lblContinue", Kind::OwnText, nullptr, "How to go on"},

    {"tabServerUpdate", Kind::Named, "Server Update", "What to change on the Quillbox server"},
    {"tabServerUpdateIcon", Kind::Decorative, nullptr, nullptr},
    {"RzLabel8", Kind::OwnText, nullptr, "Page heading"},
    {"RTFLabel8", Kind::OwnText, nullptr, "What to change on the server"},

    {"tabCompleted", Kind::Named, "Completed", "The end of the wizard"},
    {"tabCompletedIcon", Kind::Decorative, nullptr, nullptr},
    {"RzLabel15", Kind::OwnText, nullptr, "Page heading"},
    {"RTFLabel14", Kind::OwnText, nullptr, "What happened"},
};

constexpr Entry AboutBoxEntries[] = {
    {"frmAbout", Kind::OwnText, nullptr, "The program's version and its support contacts"},
    {"Panel1", Kind::Named, "Program", "The program's name, version and copyright"},
    {"RzLabel1", Kind::OwnText, nullptr, "Program name"},
    {"lblVersion", Kind::OwnText, nullptr, "Version of the program"},
    {"Label2", Kind::OwnText, nullptr, "Copyright"},
    {"Panel2", Kind::Named, "Support", "How to reach support"},
    {"Label3", Kind::OwnText, nullptr, "Support"},
    {"Label4", Kind::OwnText, nullptr, "Caption of the email address"},
    {"Label5", Kind::OwnText, nullptr, "Caption of the web site"},
    {"Label6", Kind::OwnText, nullptr, "Caption of the postal address"},
    {"Label7", Kind::OwnText, nullptr, "Caption of the telephone number"},
    {"RzURLLabel1", Kind::OwnText, nullptr, "Email address of support; opens a new message"},
    {"RzURLLabel2", Kind::OwnText, nullptr, "Web site; opens it in the browser"},
    {"Label8", Kind::OwnText, nullptr, "Postal address"},
    {"Label9", Kind::OwnText, nullptr, "Postal address, city and country"},
    {"Label10", Kind::OwnText, nullptr, "Telephone number of support"},
    {"BitBtn1", Kind::OwnText, nullptr, "Closes the About box"},
};

// The caption in front of a control names it for a screen reader too.
void SetBuddy(QWidget *window, const char *label, const char *control)
{
    auto *caption = window->findChild<QLabel *>(QLatin1String(label));
    auto *buddy = window->findChild<QWidget *>(QLatin1String(control));
    if (caption && buddy)
        caption->setBuddy(buddy);
}

void NameBrowseButton(QWidget *window, const char *edit, const char *description)
{
    if (auto *found = window->findChild<TRzButtonEdit *>(QLatin1String(edit)))
        found->Button()->setAccessibleDescription(QString::fromUtf8(description));
}

} // namespace

QString NextDescription()
{
    return QString::fromLatin1(NextText);
}

QString CopiedNextDescription()
{
    return QStringLiteral("The copy is complete; goes on to the next page");
}

void NameMainWindowControls(QWidget *window)
{
    const QStringList missing = Accessibility::Apply(window, MainWindowEntries);
    if (!missing.isEmpty())
        qWarning("Controls without an accessible name: %s", qPrintable(missing.join(u' ')));
    Accessibility::MarkFrame(window);
    if (auto *status = window->findChild<QLabel *>(QStringLiteral("lblStatus")))
        Accessibility::MarkStatusLine(status);
    SetBuddy(window, "RzLabel12", "comConnectionMode");
    SetBuddy(window, "RzLabel1", "edtCurrentDir");
    SetBuddy(window, "RzLabel13", "edtRemoteDir");
    SetBuddy(window, "RzLabel6", "edtNewDir");
    SetBuddy(window, "RzLabel9", "lblCopyFrom");
    SetBuddy(window, "RzLabel10", "lblCopyTo");
    NameBrowseButton(window, "edtCurrentDir", "Chooses the current location in a folder dialog");
    NameBrowseButton(window, "edtRemoteDir", "Chooses the current location in a folder dialog");
    NameBrowseButton(window, "edtNewDir", "Chooses the new location in a folder dialog");
}

void NameAboutBoxControls(QWidget *box)
{
    const QStringList missing = Accessibility::Apply(box, AboutBoxEntries);
    if (!missing.isEmpty())
        qWarning("Controls without an accessible name: %s", qPrintable(missing.join(u' ')));
}
