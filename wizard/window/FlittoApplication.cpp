#include "wizard/window/FlittoApplication.h"

#include "fileutil/Exception.h"
#include "widgets/look/MessageBoxes.h"

#include <QIcon>
#include <QMessageBox>

namespace {

// The theme's icon where the desktop has one installed, else our own: the
// SVG, and its renderings for a Qt without the SVG plugin. Set on the
// application, it is every window's and every box's icon.
QIcon ApplicationIcon()
{
    QIcon own(QStringLiteral(":/desktop/flitto.svg"));
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        own.addFile(QStringLiteral(":/desktop/flitto-%1.png").arg(size), QSize(size, size));
    return QIcon::fromTheme(QStringLiteral("flitto"), own);
}

} // namespace

static void InitIconResources()
{
    Q_INIT_RESOURCE(wizard);
}

FlittoApplication::FlittoApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Flitto"));
    // The menu entry tools/install.sh writes: the desktop shows its icon
    // and name for the window and the notifications.
    setDesktopFileName(QStringLiteral("flitto"));
    InitIconResources();
    setWindowIcon(ApplicationIcon());
}

bool FlittoApplication::notify(QObject *receiver, QEvent *event)
{
    // An exception must not cross Qt's event dispatch: catch it here, at the
    // outermost handler frame, report it, and let the loop go on.
    bool result = false;
    ReportErrors([&] { result = QApplication::notify(receiver, event); });
    return result;
}

void ReportErrors(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (...) {
        const ErrorReport report = ReportOf(std::current_exception());
        if (!report.Silent)
            ShowErrorReport(report.Message, report.Details);
    }
}

void ShowErrorReport(const QString &message, const QString &details)
{
    // No parent: like the wizard's own boxes, the report is centred on the
    // screen, and it must show even when the main window is already closed.
    AskMessageBox(nullptr, QMessageBox::Critical, QStringLiteral("Flitto"), Sentence(message),
                  {{QStringLiteral("OK")}}, 0, 0, details);
}
