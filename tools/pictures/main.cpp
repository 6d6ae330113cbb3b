// Draws every picture of the wizard's main window into a folder, normally
// resources/wizard/ of the source tree, and the button edit's built-in
// pictures into another, normally resources/buttonedit/. The drawn files
// are committed; after changing a drawing, regenerate them with
//     cmake --build build --target flitto_regenerate_pictures
// and look at them before committing.

#include "ButtonEditPictures.h"
#include "Drawing.h"
#include "Icons.h"
#include "ProgressiveJpeg.h"
#include "SidePicture.h"

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>

namespace {

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        std::fprintf(stderr, "Cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

bool WritePng(const QString &path, const QImage &image)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        std::fprintf(stderr, "Cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: %s WIZARD-FOLDER BUTTON-EDIT-FOLDER\n", argv[0]);
        return 2;
    }
    const QDir folder(arguments[1]);
    const QDir buttonEditFolder(arguments[2]);
    for (const QDir &made : {folder, buttonEditFolder}) {
        if (!made.mkpath(QStringLiteral("."))) {
            std::fprintf(stderr, "Cannot create %s\n", qPrintable(made.path()));
            return 1;
        }
    }

    const struct
    {
        const char *name;
        QImage (*draw)();
    } icons[] = {
        {"warning.png", DrawWarning},   {"bulb.png", DrawBulb},
        {"pageicon.png", DrawPageIcon}, {"about.png", DrawAbout},
        {"previous.png", DrawPrevious}, {"next.png", DrawNext},
        {"cancel.png", DrawCancel},     {"exit.png", DrawExit},
    };
    // Each picture at its size and at double resolution ("@2x", the
    // suffix Qt's high-density loading knows).
    bool ok = true;
    for (const int scale : {1, 2}) {
        SetPictureScale(scale);
        const auto name = [&](const char *file) {
            QString path = QLatin1String(file);
            if (scale != 1)
                path.insert(path.lastIndexOf(QLatin1Char('.')), QStringLiteral("@%1x").arg(scale));
            return folder.filePath(path);
        };
        ok = WriteFile(name("side.jpg"), EncodeProgressiveJpeg(DrawSidePicture(), 90)) && ok;
        for (const auto &icon : icons)
            ok = WritePng(name(icon.name), icon.draw()) && ok;
    }
    // The button edit's pictures: the ordinary form stays indexed pixel art.
    for (const QByteArray &picture : ButtonEditPictureNames()) {
        const QString base = buttonEditFolder.filePath(QString::fromLatin1(picture));
        ok = WriteFile(base + QLatin1String(".xpm"), ButtonEditXpm(picture)) && ok;
        ok = WritePng(base + QLatin1String("@2x.png"), DrawButtonEditPicture(picture)) && ok;
    }
    return ok ? 0 : 1;
}
