// GIO's headers come first: they use "signals" as a name, which Qt's keyword
// macro would break if QT_NO_KEYWORDS were ever dropped.
#include <gio/gio.h>

#include "widgets/shell/TRzShellTrash.h"

#include <memory>

namespace {

struct ObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};

struct ErrorFree
{
    void operator()(GError *error) const { g_error_free(error); }
};

} // namespace

bool TRzMoveToTrash(const QByteArray &path, QString *error)
{
    // The path goes to GIO as the bytes it is, so any name can be trashed.
    const std::unique_ptr<GFile, ObjectUnref> file(g_file_new_for_path(path.constData()));
    GError *raw = nullptr;
    const bool trashed = g_file_trash(file.get(), nullptr, &raw);
    const std::unique_ptr<GError, ErrorFree> failure(raw);
    if (trashed)
        return true;
    if (error)
        *error = failure ? QString::fromUtf8(failure->message) : QString();
    return false;
}
