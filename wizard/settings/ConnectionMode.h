#pragma once

#include <QtGlobal>

// How Quillbox reaches its database. The numbers are what Quillbox.ini
// stores as its connection mode, and the places of the modes in the wizard's
// list, where None is the list with nothing chosen.
enum class ConnectionMode : qint32
{
    None = -1,
    Local = 0,  // Quillbox reads the data folder itself
    Remote = 1, // Quillbox goes through the Quillbox Server
};

// The mode a stored number names; None for every other number.
constexpr ConnectionMode ConnectionModeOf(qint32 number)
{
    return number == qint32(ConnectionMode::Local) || number == qint32(ConnectionMode::Remote)
               ? ConnectionMode(number)
               : ConnectionMode::None;
}
