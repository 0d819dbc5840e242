#ifndef WORKERTHREADUPDATE_H
#define WORKERTHREADUPDATE_H

#include <QJsonObject>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVector>

#include <atomic>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;

// Does the program update check away from the screen: reads the server's
// version file, compares versions, downloads the listed files with one
// combined percentage and can replace the updater script. It lives on the
// thread its update dialog makes and talks to the dialog only by signals.
class WorkerThreadUpdate : public QObject
{
    Q_OBJECT
public:
    explicit WorkerThreadUpdate(QObject* parent = nullptr);
    ~WorkerThreadUpdate() override;

    // 1 when a is newer than b, -1 when older, 0 when the same; missing
    // trailing parts count as 0, so 1.1.4 equals 1.1.4.0.
    static int CompareVersions(const QVector<int>& a, const QVector<int>& b);
    // The program's own version split into its parts.
    static QVector<int> OwnVersion();

    QUrl GetFtpUrl() const;
    // Makes the local folder for a server file and returns the file's local
    // path, or an empty string when the path does not fit.
    QString CreateFoldersAndFile(const QString& remotePath, QString localBase, QString marker);
    void RemoveFolder(const QString& folderPath);
    // 0 when the script was written, -1 when it could not be.
    int WriteVbsFile(const QString& path, const QString& text);
    // The settings hand out the script path in the updater's own (backslash)
    // form; on other systems that would name a file in the working folder.
    static QString LocalScriptPath(const QString& storedPath);

    // Reads one version-file body as it came from host; the reply handler
    // uses it, and it can be fed directly.
    void ParseVersionFile(const QByteArray& body, const QString& host);

    // Read-only views for the owner and for checks.
    QVector<int> GetServerVersion() const { return QVector<int>(m_serverVersion.begin(), m_serverVersion.end()); }
    QStringList GetDownloadPaths() const;
    quint32 GetTotalSize() const { return m_totalSize; }
    bool IsRunning() const { return m_running; }
    QString GetServerHost() const { return m_serverHost; }

signals:
    void SignalChangeProgress(int value);
    void SignalShowUpdateContent(QStringList content_list);
    void SignalShowWin(QStringList);

public slots:
    void slot_check_upgrade();
    void slot_start_upgrade();
    void slot_check_upgrade_reply();
    void slot_download_upgrade_reply();
    void slot_cancel_update();
    // One progress report of any download.
    void slot_download_progress(qint64 bytesReceived, qint64 bytesTotal);

private:
    QNetworkAccessManager* m_manager = nullptr;
    std::vector<QNetworkReply*> m_replies;
    std::vector<QString> m_downloadPaths;
    quint32 m_totalSize = 0;
    quint32 m_receivedSize = 0;
    quint32 m_lastReceived = 0;
    quint32 m_lastTotal = 0;
    QString m_updateTime;
    QString m_exeName;
    QMutex m_progressMutex;
    std::vector<int> m_serverVersion;
    std::atomic_bool m_running{false};
    QString m_serverHost;
};

#endif // WORKERTHREADUPDATE_H
