#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <memory>

// What a test saw of a modal message box before it answered it.
struct SeenBox
{
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;   // button texts in their visual order
    QString defaultButton; // text of the button Enter presses
    QString escapeButton;  // text of the button Escape presses
    // A button is a standard one, to which a desktop's theme may give a picture.
    bool standardButtons = false;
    // Set by a test that expected no box: the watcher stops looking.
    bool cancelled = false;
};

// Arms a watcher that waits for the next modal message box, records it and
// answers it as a user would: by clicking the button with the given text.
std::shared_ptr<SeenBox> AnswerNextBox(const QString &buttonText);
// The same, answering with a key press (Enter, Escape) on the box.
std::shared_ptr<SeenBox> AnswerNextBoxWithKey(Qt::Key key);
// The same, answering by closing the box from its title bar.
std::shared_ptr<SeenBox> CloseNextBox();

// True while no top-level window but the given ones is visible.
bool OnlyTheseWindowsOpen(const QList<QWidget *> &allowed);
