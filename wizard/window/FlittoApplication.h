#pragma once

#include <QApplication>

#include <functional>

// The application object: its event loop turns every error that leaves a
// handler into the standard error report and then goes on running.
class FlittoApplication : public QApplication
{
    Q_OBJECT

public:
    FlittoApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};

// Shows the standard error report for a message (titled with the
// application title, error icon, OK), as a sentence, with the details
// below it.
void ShowErrorReport(const QString &message, const QString &details = QString());

// Runs one event handler the way the event loop runs it: an error that
// leaves the handler is shown in the standard error report (the silent
// abort shows nothing), and the program goes on. Every error counts, even
// one that is no exception of Flitto's. Handlers connected to
// signals run through this, so no exception ever unwinds through Qt's own
// signal and event code.
void ReportErrors(const std::function<void()> &handler);
