#include "widgets/singleTools/parameterConfigPage/ParamCsv.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cmath>

#include "commom/Global.h"
#include "commom/Logger.h"
#include "widgets/singleTools/parameterConfigPage/ParamNameTable.h"

QString ParamCsv::FormatValue(unsigned int id, float value)
{
    return QString::number(static_cast<double>(value), 'f', id < kFirstFractionalId ? 0 : 5);
}

QList<QStringList> ParamCsv::BuildExportRows(const QMap<unsigned int, float>& table)
{
    QList<QStringList> rows;
    rows.reserve(ParamNameTable::kTableCount);
    for (unsigned int id = 0; id < static_cast<unsigned int>(ParamNameTable::kTableCount); ++id) {
        rows.append(QStringList{QString::number(id), FormatValue(id, table.value(id, 0.0f))});
    }
    return rows;
}

QString ParamCsv::ExportFileName(const QString& folder, const QString& dateTime)
{
    return folder + "/" + dateTime + QString::fromUtf8("-参数表.csv");
}

bool ParamCsv::ParseNameValueLine(const QString& line, QString* name, float* value,
                                  bool* formatError)
{
    *formatError = false;
    const QStringList parts = line.split(':', Qt::KeepEmptyParts);
    if (parts.size() != 2) {
        *formatError = true;
        return false;
    }
    bool ok = false;
    const float parsed = parts.at(1).toFloat(&ok);
    // A NaN or infinite value would go to the device as it stands.
    if (!ok || !std::isfinite(parsed)) {
        return false;
    }
    *name = parts.at(0).simplified();
    *value = parsed;
    return true;
}

bool ParamCsv::ScanLines(const QString& path, const std::function<bool(int, const QString&)>& take,
                         QString* reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        LOG_DEBUG() << "Failed to open file:" << file.errorString();
        if (reason) {
            *reason = file.errorString();
        }
        return false;
    }
    QTextStream in(&file);
    int number = 0;
    while (!in.atEnd()) {
        if (g_app_is_exit) {
            ForceExitApplication();
        }
        const QString line = in.readLine();
        ++number;
        if (!line.isEmpty() && !take(number, line)) {
            break;
        }
    }
    return true;
}

bool ParamCsv::ReadNameValueFile(const QString& path, QMap<QString, float>& out)
{
    return ScanLines(path, [&out](int, const QString& line) {
        QString name;
        float value = 0.0f;
        bool formatError = false;
        if (!ParseNameValueLine(line, &name, &value, &formatError)) {
            if (formatError) {
                LOG_DEBUG() << "Invalid line format.解析配置文件错误";
                return false;
            }
            LOG_DEBUG() << "Failed to convert one or more fields to integer.";
            return true;
        }
        LOG_DEBUG() << "name:" << name << "Cannon Type:" << value;
        out.insert(name, value);
        return true;
    });
}

bool ParamCsv::ReadImportFile(const QString& path, QMap<QString, float>& out, QString* error)
{
    QString text;
    if (QFileInfo(path).size() > kMaxImportBytes) {
        text = QStringLiteral("配置文件过大（超过1MB），不是参数配置文件：") + path;
    }
    QMap<QString, float> read;
    QStringList unknown;
    QString reason;
    if (text.isEmpty() && !ScanLines(path, [&](int number, const QString& line) {
            QString name;
            float value = 0.0f;
            bool formatError = false;
            if (!ParseNameValueLine(line, &name, &value, &formatError)) {
                text = QStringLiteral("配置文件格式不正确，第%1行应为 参数名:数值：%2").arg(number).arg(line);
                return false;
            }
            if (!ParamNameTable::Lookup(name)) {
                if (!unknown.contains(name)) {
                    unknown << name;
                }
                return true;
            }
            read.insert(name, value);
            return true;
        }, &reason)) {
        text = QStringLiteral("配置文件无法打开：%1（%2）").arg(path, reason);
    }
    if (text.isEmpty() && !unknown.isEmpty()) {
        text = QStringLiteral("配置文件中有未知的参数名：") + unknown.join(QStringLiteral("、"));
    }
    if (!text.isEmpty()) {
        LOG_WARN() << text;
        if (error) {
            *error = text;
        }
        return false;
    }
    for (auto it = read.cbegin(); it != read.cend(); ++it) {
        out.insert(it.key(), it.value());
    }
    return true;
}
