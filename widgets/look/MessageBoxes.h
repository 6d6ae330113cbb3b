#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

class QWidget;

// One button of a message box: its caption and the role that places it.
struct BoxButton
{
    QString caption;
    QMessageBox::ButtonRole role = QMessageBox::AcceptRole;
};

// The boxes show their text in the windows' face (WindowFonts).

// A modal box whose only answer is the platform's own OK button. Without a
// parent the box is centred on the screen.
void ShowMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                    const QString &text);

// A modal box with the given buttons: Enter presses the one at defaultIndex,
// Escape and the title bar's close the one at escapeIndex. Returns the index
// of the button pressed; -1 when none was. Details, when given, show below
// the text.
int AskMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                  const QString &text, const QList<BoxButton> &buttons, int defaultIndex,
                  int escapeIndex, const QString &details = QString());
