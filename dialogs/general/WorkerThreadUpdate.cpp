#include "dialogs/general/WorkerThreadUpdate.h"

#include "commom/CommonFunction.h"
#include "commom/Logger.h"
#include "manager/SettingManager.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTextStream>

#include <climits>
#include <cmath>

namespace {

const char* const kOwnVersion = "1.1.4";
const char* const kFtpUser = "Talvemir-Logger";
const char* const kFtpPassword = "4072913856";
const char* const kFtpHost = "203.0.113.24";
const int kFtpPort = 2122;
const char* const kVersionFolder = "/Filter/updata_software/IMU/";
const char* const kVersionFile = "keldora-version.json";

// The version file's numbers: whole numbers that fit an int, anything else
// reads as 0 (a huge or fractional value must not turn into garbage).
int JsonInt(const QJsonValue& value)
{
    if (!value.isDouble()) {
        return 0;
    }
    const double d = value.toDouble();
    if (!std::isfinite(d) || std::trunc(d) != d || d < double(INT_MIN) || d > double(INT_MAX)) {
        return 0;
    }
    return static_cast<int>(d);
}

// Non-empty strings of an array, in order; other elements are skipped.
QStringList JsonTexts(const QJsonValue& value)
{
    QStringList texts;
    const QJsonArray array = value.toArray();
    for (const QJsonValue& element : array) {
        if (element.isString() && !element.toString().isEmpty()) {
            texts << element.toString();
        }
    }
    return texts;
}

} // namespace

WorkerThreadUpdate::WorkerThreadUpdate(QObject* parent)
    : QObject(parent)
{
}

WorkerThreadUpdate::~WorkerThreadUpdate()
{
    // The manager is a child of this worker (made on its thread), so it and
    // the replies it still holds go with the worker.
    m_manager = nullptr;
}

int WorkerThreadUpdate::CompareVersions(const QVector<int>& a, const QVector<int>& b)
{
    const int n = qMax(a.size(), b.size());
    for (int i = 0; i < n; ++i) {
        const int left = i < a.size() ? a.at(i) : 0;
        const int right = i < b.size() ? b.at(i) : 0;
        if (left != right) {
            return left > right ? 1 : -1;
        }
    }
    return 0;
}

QVector<int> WorkerThreadUpdate::OwnVersion()
{
    QVector<int> parts;
    const QStringList texts = QString(kOwnVersion).split('.', Qt::KeepEmptyParts);
    for (const QString& text : texts) {
        bool ok = false;
        const int value = text.toInt(&ok, 10);
        parts << (ok ? value : 0);
    }
    return parts;
}

QStringList WorkerThreadUpdate::GetDownloadPaths() const
{
    QStringList paths;
    for (const QString& path : m_downloadPaths) {
        paths << path;
    }
    return paths;
}

QUrl WorkerThreadUpdate::GetFtpUrl() const
{
    QUrl url;
    url.setScheme("ftp");
    url.setUserName(kFtpUser, QUrl::DecodedMode);
    url.setPassword(kFtpPassword, QUrl::DecodedMode);
    url.setHost(m_serverHost.isEmpty() ? QString(kFtpHost) : m_serverHost, QUrl::DecodedMode);
    url.setPort(kFtpPort);
    url.setPath(QString(kVersionFolder) + kVersionFile, QUrl::DecodedMode);
    return url;
}

void WorkerThreadUpdate::slot_check_upgrade()
{
    // The version file is not fetched on this system: nothing fills the
    // download list, so "升级" ends in "暂无更新".
}

void WorkerThreadUpdate::slot_start_upgrade()
{
    if (m_running) {
        return;
    }
    if (m_downloadPaths.empty()) {
        slot_check_upgrade();
        // A check may fill the list meanwhile; this thread keeps handling
        // its events during the wait.
        MSleepNonBlock(500);
        if (m_downloadPaths.empty()) {
            emit SignalChangeProgress(-1);
            return;
        }
    }
    if (m_manager == nullptr) {
        m_manager = new QNetworkAccessManager(this);
    }
    for (const QString& path : m_downloadPaths) {
        qDebug() << path;
        m_running = true;
        QUrl url = GetFtpUrl();
        url.setPath(path, QUrl::DecodedMode);
        QNetworkReply* reply = m_manager->get(QNetworkRequest(url));
        connect(reply, &QNetworkReply::finished, this, &WorkerThreadUpdate::slot_download_upgrade_reply);
        connect(reply, &QNetworkReply::downloadProgress, this, &WorkerThreadUpdate::slot_download_progress);
        m_replies.push_back(reply);
    }
}

void WorkerThreadUpdate::slot_check_upgrade_reply()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (reply == nullptr) {
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        reply->deleteLater();
        return;
    }
    ParseVersionFile(reply->readAll(), reply->url().host(QUrl::FullyDecoded));
    reply->deleteLater();
}

void WorkerThreadUpdate::ParseVersionFile(const QByteArray& body, const QString& host)
{
    m_serverHost = host.toLower();
    const QJsonObject root = QJsonDocument::fromJson(body).object();

    m_serverVersion.clear();
    const QJsonArray version = root.value("version").toArray();
    for (const QJsonValue& part : version) {
        if (!part.isNull()) {
            m_serverVersion.push_back(JsonInt(part));
        }
    }
    if (CompareVersions(GetServerVersion(), OwnVersion()) != 1) {
        return;
    }

    m_downloadPaths.clear();
    m_updateTime = root.value("update_time").toString();
    m_exeName = root.value("exe_name").toString();
    for (const QString& path : JsonTexts(root.value("new_file_path"))) {
        m_downloadPaths.push_back(path);
    }
    {
        QMutexLocker lock(&m_progressMutex);
        m_totalSize = static_cast<quint32>(JsonInt(root.value("total_size")));
    }

    QStringList contents;
    int counter = 0;
    for (const QString& line : JsonTexts(root.value("update_content"))) {
        ++counter;
        contents << QString::number(counter) + ":" + line;
    }

    if (root.value("is_update_vbs").toString() == "1") {
        const QString text = root.value("update_vbs_content").toString();
        const QString path = LocalScriptPath(SettingManager::GetInstance()->GetUpDateVbsPath());
        if (WriteVbsFile(path, text) == 0) {
            LOG_DEBUG() << "脚本文件更新成功";
        } else {
            LOG_DEBUG() << "脚本文件更新失败";
        }
    }
    emit SignalShowWin(contents);
}

void WorkerThreadUpdate::slot_download_upgrade_reply()
{
    // What a finished download does with its data is not settled yet; the
    // reply stays with the manager until the worker goes.
}

void WorkerThreadUpdate::slot_cancel_update()
{
    m_running = false;
}

void WorkerThreadUpdate::slot_download_progress(qint64 bytesReceived, qint64 bytesTotal)
{
    QMutexLocker lock(&m_progressMutex);
    const quint32 received = static_cast<quint32>(bytesReceived);
    const quint32 total = static_cast<quint32>(bytesTotal);
    if (total == m_lastTotal) {
        m_receivedSize += received - m_lastReceived;
    } else {
        m_receivedSize += received;
    }
    m_lastReceived = received;
    m_lastTotal = total;
    if (m_totalSize == 0) {
        // No total to divide by: a percentage would be meaningless.
        return;
    }
    const double percent = static_cast<float>(m_receivedSize) * 100.0 / static_cast<float>(m_totalSize);
    // The dialog ignores values above 100; the cap only keeps the
    // conversion defined for absurd totals.
    emit SignalChangeProgress(percent >= double(INT_MAX) ? INT_MAX : static_cast<int>(percent));
}

QString WorkerThreadUpdate::LocalScriptPath(const QString& storedPath)
{
#ifdef Q_OS_WIN
    return storedPath;
#else
    QString path = storedPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
#endif
}

int WorkerThreadUpdate::WriteVbsFile(const QString& path, const QString& text)
{
    // Written aside and moved into place, so a failed write never leaves the
    // updater with half a script.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        qWarning() << "Could not open the file for writing:" << path;
        return -1;
    }
    QTextStream out(&file);
    out << text;
    out.flush();
    if (!file.commit()) {
        qWarning() << "Could not open the file for writing:" << path;
        return -1;
    }
    return 0;
}

QString WorkerThreadUpdate::CreateFoldersAndFile(const QString& remotePath, QString localBase, QString marker)
{
    const int markerIndex = remotePath.indexOf(marker);
    const int lastSlash = remotePath.lastIndexOf('/');
    const int firstDot = remotePath.indexOf('.');
    const int markerEnd = markerIndex + marker.size();
    // A server path must not reach outside the local base, and the file's
    // folder must lie after the marker.
    const bool climbs = remotePath.split('/').contains("..");
    if (markerIndex < 0 || lastSlash < 0 || firstDot < 0 || lastSlash < markerEnd || climbs || marker.isEmpty()) {
        LOG_DEBUG() << "IMU not found in the path.";
        return QString();
    }
    QString folder;
    if (lastSlash - markerIndex == marker.size()) {
        folder = localBase + marker;
    } else {
        folder = localBase + marker + remotePath.mid(markerEnd, lastSlash - markerEnd);
    }
    QDir().mkpath(folder);
    return folder + remotePath.mid(lastSlash);
}

void WorkerThreadUpdate::RemoveFolder(const QString& folderPath)
{
    QDir dir(folderPath);
    if (!dir.exists()) {
        LOG_DEBUG() << "Folder does not exist:" << folderPath;
        return;
    }
    // Links are removed as links: following a link to a folder would empty
    // a folder outside the tree.
    const QStringList files =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Unsorted);
    QStringList folders;
    QStringList links;
    for (const QFileInfo& info : entries) {
        if (info.isSymLink()) {
            links << info.fileName();
        } else {
            folders << info.fileName();
        }
    }
    for (const QString& name : files + links) {
        const QString path = folderPath + "/" + name;
        if (QFile::remove(path)) {
            LOG_DEBUG() << "File removed:" << path;
        } else {
            LOG_DEBUG() << "Failed to remove file:" << path;
        }
    }
    for (const QString& name : folders) {
        RemoveFolder(folderPath + "/" + name);
    }
    if (QDir().rmdir(folderPath)) {
        LOG_DEBUG() << "Folder removed:" << folderPath;
    } else {
        LOG_DEBUG() << "Failed to remove folder:" << folderPath;
    }
}
