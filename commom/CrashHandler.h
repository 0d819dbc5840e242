#ifndef CRASHHANDLER_H
#define CRASHHANDLER_H

#include <QString>
#include <QStringList>

// Writes a stack dump into a folder when the process dies of a fatal
// signal, and turns the dumps of earlier runs into readable traces in the
// log at the next start.
class CrashHandler
{
public:
    // Creates the folder, prepares the dump file name and installs the
    // handler for SIGSEGV, SIGABRT, SIGBUS, SIGFPE and SIGILL.
    static bool Install(const QString& dumpFolder);

    // Logs a readable trace for every dump left in the folder and marks it
    // as reported (renamed to *.reported). Returns the traces.
    static QStringList ReportPreviousDumps(const QString& dumpFolder);

    // Folder "crashes" beside the executable.
    static QString DefaultFolder();
};

#endif // CRASHHANDLER_H
