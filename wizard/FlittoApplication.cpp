#include "FlittoApplication.h"

#include "Exception.h"

#include <QMessageBox>

FlittoApplication::FlittoApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Flitto"));
}

bool FlittoApplication::notify(QObject *receiver, QEvent *event)
{
    // An exception must not cross Qt's event dispatch: catch it here, at the
    // outermost handler frame, report it, and let the loop go on.
    try {
        return QApplication::notify(receiver, event);
    } catch (const EAbort &) {
    } catch (const Exception &error) {
        ShowErrorReport(error.message());
    } catch (const std::bad_alloc &) {
        ShowErrorReport(QStringLiteral("Out of memory"));
    } catch (const std::exception &error) {
        ShowErrorReport(QString::fromLocal8Bit(error.what()));
    }
    return false;
}

QString ErrorReportText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ShowErrorReport(const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Flitto"), ErrorReportText(message),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}
