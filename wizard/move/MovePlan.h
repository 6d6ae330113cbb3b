#pragma once

#include "wizard/settings/ConnectionMode.h"
#include "wizard/settings/Installation.h"

#include <QByteArray>

// What one move is asked to do: from which folder to which, and whether the
// settings file gets the new folder.
struct MovePlan
{
    QByteArray Source;       // the data folder
    QByteArray Target;       // the new folder, as the user gave it
    QByteArray SettingsFile; // Quillbox.ini
    // Local: the settings file gets the new folder.
    ConnectionMode Mode = ConnectionMode::Local;
    // The settings file's values as the front end read them; the checks
    // and the settings write refuse once they have changed. Nothing: not
    // compared.
    std::optional<Installation::SettingsSnapshot> Loaded;

    bool operator==(const MovePlan &) const = default;
};
