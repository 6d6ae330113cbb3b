#include "widgets/look/MessageBoxes.h"

#include "widgets/look/WindowFonts.h"

#include <QPushButton>

namespace {

// The box in the windows' face (at the size of its own font), not in the
// desktop's default face.
void UseWindowFace(QMessageBox &box)
{
    WindowFonts::InstallSubstitutes();
    QFont font = box.font();
    font.setFamilies({WindowFonts::SansSerif()});
    box.setFont(font);
}

} // namespace

void ShowMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                    const QString &text)
{
    // A plain "OK" of our own: the desktop theme gives the standard Ok
    // button a tick picture pressed against its caption.
    AskMessageBox(parent, icon, title, text, {{QStringLiteral("OK")}}, 0, 0);
}

int AskMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                  const QString &text, const QList<BoxButton> &buttons, int defaultIndex,
                  int escapeIndex, const QString &details)
{
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    UseWindowFace(box);
    if (!details.isEmpty())
        box.setInformativeText(details);
    QList<QPushButton *> added;
    for (const BoxButton &button : buttons)
        added << box.addButton(button.caption, button.role);
    box.setDefaultButton(added.value(defaultIndex));
    box.setEscapeButton(added.value(escapeIndex));
    box.exec();
    return int(added.indexOf(qobject_cast<QPushButton *>(box.clickedButton())));
}
