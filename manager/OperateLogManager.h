#ifndef OPERATELOGMANAGER_H
#define OPERATELOGMANAGER_H

#include <QObject>
#include <QRecursiveMutex>
#include <QString>

#include <memory>

// The operation log of user actions: one file per start under
// applicationDirPath()/log/opt_log/<start date>/, each line time-stamped and
// also handed to the output area's log view.
class OperateLogManager : public QObject
{
    Q_OBJECT

public:
    // Creates the service and fixes this run's file on the first call.
    static OperateLogManager* GetInstance();

    ~OperateLogManager() override;

    // Creates the folders (with any missing parents) and fixes the file path
    // from the current date and time.
    void init();

    // Appends "[yyyy-MM-dd hh:mm:ss:zzz] text" and CR LF to the file and
    // emits the line. May be called from any thread; the line is emitted
    // even when the file cannot be written.
    void recordLog(const QString& text);

    QString LogFilePath() const;

signals:
    void SignalOutputOperateLog(const QString& str);

private:
    OperateLogManager();

    QString m_logFilePath;
    // Recursive so that a directly connected receiver that records a line
    // of its own does not lock up the thread.
    mutable QRecursiveMutex m_mutex;

    static std::unique_ptr<OperateLogManager> m_instance;
};

#endif // OPERATELOGMANAGER_H
