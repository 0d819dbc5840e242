#include "widgets/singleTools/parameterConfigPage/ParamTableSheet.h"

#include <cmath>

#include "workerThread/MessageIds.h"

namespace {

struct NamedRow
{
    const char* name;
    const char* comment;
};

// An older naming of the first ids, kept as the device's users know it from
// this page.
const NamedRow kOldNames[ParamTableSheet::kNamedRows] = {
    {"SoftwareVersion", "软件版本号"},
    {"HardwareVersion", "硬件版本号"},
    {"Param_Version", "参数版本号"},
    {"Serial_Baud", "串口波特率"},
    {"Imu_Orientation", "设置IMU方向"},
    {"Gyro_Bias_Del", "设置静态校准时长阈值"},
    {"Over_Range_Reset", "设置角速率量程限制值"},
    {"Static_Check", "静止检测开关"},
    {"GYRO_BIAS_X", "陀螺零偏X轴"},
    {"GYRO_BIAS_Y", "陀螺零偏Y轴"},
    {"GYRO_BIAS_Z", "陀螺零偏Z轴"},
    {"Gyro_Calib_Vel", "陀螺标定速率"},
    {"Min_Calib_Temp", "温度标定最小温度"},
    {"Max_Calib_Temp", "温度标定最大温度"},
    {"Calib_End_Temp", "温度标定预设结束温度"},
    {"Flash_WR_Test", "Flash读写测试位"},
    {"INSTALL_ERR_ALPHA", "安装误差X轴"},
    {"INSTALL_ERR_BEAT", "安装误差Y轴"},
    {"INSTALL_ERR_GAMA", "安装误差Z轴"},
    {"Acc_Range", "加速度计量程：0~3"},
    {"Gyro_Range", "陀螺仪量程：0~4"},
    {"IMU_ODR", "数据输出频率"},
    {"LOW_POWER_MODE", "低功耗模式"},
    {"ACC_MASK1", "ACC屏蔽位1"},
    {"GYRO_MASK1", "GYRO屏蔽位1"},
    {"STREAM_MODE", "数据流模式"},
    {"POINTS_EVERY_SCALE", "标度因子计数值"},
    {"SPI_I2C", "SPI或I2C使能"},
    {"ATT_MODE", "动态/静态倾角"},
    {"CAN_ENABLE", "CAN使能"},
    {"I2C_ADDR", "I2C从机地址"},
    {"FLTER_CTRL", "滤波器设置值"},
    {"ACC_MASK2", "ACC屏蔽位2"},
    {"GYRO_MASK2", "GYRO屏蔽位2"},
    {"CAN_ID", "CAN ID"},
    {"AXIS_PARAM", "坐标系"},
};

} // namespace

QStringList ParamTableSheet::HorizontalHeaderLabels()
{
    return {QString::fromUtf8("参数名        "), QString::fromUtf8("参数     "),
            QString::fromUtf8("注释      ")};
}

QString ParamTableSheet::NameOf(int row)
{
    if (row >= 0 && row < kNamedRows) {
        return QString::fromUtf8(kOldNames[row].name);
    }
    if (row >= kNamedRows && row < kParamRows) {
        return QStringLiteral("rev_param");
    }
    return QString();
}

QString ParamTableSheet::CommentOf(int row)
{
    if (row >= 0 && row < kNamedRows) {
        return QString::fromUtf8(kOldNames[row].comment);
    }
    if (row >= kNamedRows && row < kParamRows) {
        return QString::fromUtf8("保留");
    }
    return QString();
}

QString ParamTableSheet::PlaceholderValue()
{
    return QStringLiteral("N/A");
}

QString ParamTableSheet::FormatValue(float value)
{
    return QString::number(static_cast<double>(value), 'f', kDecimals);
}

float ParamTableSheet::ParseValue(const QString& text)
{
    float value = 0.0f;
    return ParseCell(text, &value) ? value : 0.0f;
}

bool ParamTableSheet::ParseCell(const QString& text, float* value)
{
    bool ok = false;
    const float parsed = text.toFloat(&ok);
    // "nan" and "inf" read as numbers; the device must not get them from a
    // typing slip.
    if (!ok || !std::isfinite(parsed)) {
        return false;
    }
    *value = parsed;
    return true;
}

ParamTableSheet::ShownTable ParamTableSheet::FromDeviceTable(const QMap<unsigned int, float>& table)
{
    ShownTable shown;
    shown.values.reserve(kParamRows);
    shown.texts.reserve(kParamRows);
    for (unsigned int id = 0; id < static_cast<unsigned int>(kParamRows); ++id) {
        const float value = table.value(id, 0.0f);
        shown.values.append(value);
        shown.texts.append(FormatValue(value));
    }
    return shown;
}

QMap<int, float> ParamTableSheet::BuildWriteMap(const QStringList& cellTexts, const ShownTable& shown,
                                                QList<int>* badRows)
{
    QMap<int, float> map;
    for (int row = 0; row < kParamRows; ++row) {
        const QString text = cellTexts.value(row);
        float value = 0.0f;
        if (row < shown.values.size() && row < shown.texts.size() && text == shown.texts.at(row)) {
            map.insert(row, shown.values.at(row));
        } else if (ParseCell(text, &value)) {
            map.insert(row, value);
        } else if (badRows) {
            badRows->append(row);
        }
    }
    return map;
}

QString ParamTableSheet::BadCellsText(const QList<int>& badRows, const QStringList& cellTexts)
{
    constexpr int kNamed = 10;
    QStringList lines;
    lines.append(QString::fromUtf8("以下参数值不是有效数字，参数未发送："));
    for (int i = 0; i < badRows.size() && i < kNamed; ++i) {
        const int row = badRows.at(i);
        lines.append(QString::fromUtf8("第%1行 %2：“%3”").arg(row).arg(NameOf(row), cellTexts.value(row)));
    }
    if (badRows.size() > kNamed) {
        lines.append(QString::fromUtf8("……共%1个").arg(badRows.size()));
    }
    return lines.join('\n');
}

ParamTableSheet::Answer ParamTableSheet::Classify(int id, const QVariant& var1)
{
    bool ok = false;
    const int code = var1.toInt(&ok);
    if (id == PAGE_MSG_PARAM_TABLE_READ) {
        if (!ok) {
            return Answer::Ignore;
        }
        switch (code) {
        case PARAM_TABLE_READ_PROGRESS:
            return Answer::StatusContinue;
        case PARAM_TABLE_READ_CRC_FAILED:
            return Answer::StatusEnd;
        case PARAM_TABLE_READ_CRC_PASSED:
            return Answer::ChecksumPassed;
        case PARAM_TABLE_READ_TABLE:
            return Answer::Table;
        default:
            return Answer::Ignore;
        }
    }
    if (id == PAGE_MSG_PARAM_TABLE_WRITE) {
        if (!ok) {
            return Answer::StatusEnd;
        }
        switch (code) {
        case PARAM_TABLE_WRITE_PROGRESS:
        case PARAM_TABLE_WRITE_VERIFYING:
        case PARAM_TABLE_WRITE_STORING:
            return Answer::StatusContinue;
        case PARAM_TABLE_WRITE_INTERRUPTED:
        case PARAM_TABLE_WRITE_CRC_FAILED:
        case PARAM_TABLE_WRITE_STORE_FAILED:
        case PARAM_TABLE_WRITE_FINISHED:
            return Answer::StatusEnd;
        default:
            return Answer::Ignore;
        }
    }
    return Answer::Ignore;
}

QList<QStringList> ParamTableSheet::BuildExportRows(const QList<QStringList>& gridRows)
{
    QList<QStringList> rows;
    rows.reserve(kParamRows);
    for (int row = 0; row < kParamRows; ++row) {
        const QStringList cells = gridRows.value(row);
        rows.append(QStringList{cells.value(0), cells.value(1), cells.value(2)});
    }
    return rows;
}

QString ParamTableSheet::ExportFileName(const QString& folder, const QString& dateTime)
{
    return folder + "/" + dateTime + QString::fromUtf8("-参数表.csv");
}
