#pragma once

#include "wizard/settings/ConnectionMode.h"

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

    bool operator==(const MovePlan &) const = default;
};
