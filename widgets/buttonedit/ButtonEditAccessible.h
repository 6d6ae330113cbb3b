#pragma once

// Installs, once, what assistive technology learns of button edits: an
// editable text whose buttons are its own children, with each button's
// shortcut key as the key binding of the edit's action for that button.
// The pair widget that holds the buttons is only layout, and is left out.
void InstallButtonEditAccessibility();
