#pragma once

#include <QString>

class QWidget;

// Names and descriptions of the wizard's and the About box's controls for
// assistive technology, kept apart from the windows' construction. The
// controls are found by their object names, as the windows' tables name
// them, so this unit needs neither window's class.
void NameMainWindowControls(QWidget *window);
void NameAboutBoxControls(QWidget *box);

// Next's description: what it does, and once the copy is complete, that
// the copy is complete, so that a screen reader says so as Next takes the
// focus.
QString NextDescription();
QString CopiedNextDescription();
