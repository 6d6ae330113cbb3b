#pragma once

class TfrmAbout;
class TfrmMain;

// Names and descriptions of the wizard's and the About box's controls for
// assistive technology, kept apart from the windows' construction.
void NameMainWindowControls(TfrmMain *window);
void NameAboutBoxControls(TfrmAbout *box);
