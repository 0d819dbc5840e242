#include "widgets/singleTools/parameterConfigPage/ParamCsv.h"

#include <QFile>
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

bool ParamCsv::ReadNameValueFile(const QString& path, QMap<QString, float>& out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        LOG_DEBUG() << "Failed to open file:" << file.errorString();
        return false;
    }
    QTextStream in(&file);
    while (!in.atEnd()) {
        if (g_app_is_exit) {
            ForceExitApplication();
        }
        const QString line = in.readLine();
        if (line.isEmpty()) {
            continue;
        }
        QString name;
        float value = 0.0f;
        bool formatError = false;
        if (!ParseNameValueLine(line, &name, &value, &formatError)) {
            if (formatError) {
                LOG_DEBUG() << "Invalid line format.解析配置文件错误";
                break;
            }
            LOG_DEBUG() << "Failed to convert one or more fields to integer.";
            continue;
        }
        LOG_DEBUG() << "name:" << name << "Cannon Type:" << value;
        out.insert(name, value);
    }
    file.close();
    return true;
}
