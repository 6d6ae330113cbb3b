#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

// The wizard's fifteen page documents, byte for byte as the program ships
// them in its resources.
inline QByteArray WizardDocument(const QString &label)
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(wizard);
        return true;
    }();
    Q_UNUSED(registered);
    QFile file(QStringLiteral(":/wizard/documents/%1.rtf").arg(label));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing wizard document %s", qPrintable(label));
    return file.readAll();
}

inline QStringList WizardDocumentLabels()
{
    return {
        QStringLiteral("RTFLabel1"),  QStringLiteral("RTFLabel2"),  QStringLiteral("RTFLabel3"),
        QStringLiteral("RTFLabel4"),  QStringLiteral("RTFLabel5"),  QStringLiteral("RTFLabel6"),
        QStringLiteral("RTFLabel7"),  QStringLiteral("RTFLabel8"),  QStringLiteral("RTFLabel9"),
        QStringLiteral("RTFLabel10"), QStringLiteral("RTFLabel11"), QStringLiteral("RTFLabel12"),
        QStringLiteral("RTFLabel13"), QStringLiteral("RTFLabel14"), QStringLiteral("lblContinue")};
}
