#include "widgets/look/MessageBoxes.h"

#include <QPushButton>

void ShowMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                    const QString &text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

int AskMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                  const QString &text, const QList<BoxButton> &buttons, int defaultIndex,
                  int escapeIndex, const QString &details)
{
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
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
