#include "manager/OperateLogManager.h"

#include "commom/CheckedFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QMutexLocker>

std::unique_ptr<OperateLogManager> OperateLogManager::m_instance;

OperateLogManager::OperateLogManager() = default;

OperateLogManager::~OperateLogManager() = default;

OperateLogManager* OperateLogManager::GetInstance()
{
    if (!m_instance) {
        m_instance.reset(new OperateLogManager());
        m_instance->init();
    }
    return m_instance.get();
}

void OperateLogManager::init()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString folder = QCoreApplication::applicationDirPath() + "/log/opt_log" + "/"
                           + now.toString(QStringLiteral("yyyy_MMdd"));
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/opt_log_%1.txt").arg(now.toString(QStringLiteral("yyyy_MM_dd hh_mm_ss")));
    {
        QMutexLocker locker(&m_mutex);
        m_logFilePath = path;
    }
    qDebug().noquote() << QStringLiteral("sssss ") + path;
}

void OperateLogManager::recordLog(const QString& text)
{
    QMutexLocker locker(&m_mutex);
    const QString line = QStringLiteral("[%1] ").arg(
                             QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss:zzz")))
                         + text;
    if (!m_logFilePath.isEmpty()) {
        // A line that cannot be stored is logged as such and still shown.
        CheckedFile file(m_logFilePath);
        if (file.Open(QIODevice::ReadWrite | QIODevice::Append)) {
            file.Write((line + QStringLiteral("\r\n")).toUtf8());
            file.Close();
        }
    }
    emit SignalOutputOperateLog(line);
}

QString OperateLogManager::LogFilePath() const
{
    QMutexLocker locker(&m_mutex);
    return m_logFilePath;
}
