#include "widgets/look/WindowFonts.h"

#include <QFont>

namespace WindowFonts {

QString SansSerif()
{
    return QStringLiteral("MS Sans Serif");
}

QString Arial()
{
    return QStringLiteral("Arial");
}

void InstallSubstitutes()
{
    // A substitute already in the table is not added again.
    for (const QString &face : {SansSerif(), Arial()})
        QFont::insertSubstitution(face, QStringLiteral("Liberation Sans"));
}

} // namespace WindowFonts
