#include "widgets/singleTools/ahrsGroupPage/AHRSGroupCommonWidget.h"

#include "ui_AHRSGroupCommonWidget.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegExp>
#include <QRegExpValidator>

#include "commom/CheckedFile.h"
#include "commom/DialogSeam.h"
#include "commom/Logger.h"
#include "manager/SettingManager.h"

AHRSGroupCommonWidget::AHRSGroupCommonWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::AHRSGroupCommonWidget)
{
    ui->setupUi(this);
    m_config_path = SettingManager::GetInstance()->GetAhrsGroupConfigPath();
    InitWidget();
    hide();
    // The counts belong to the test page; they only travel through here so
    // that a save writes them back unchanged.
    ui->lineEdit_test_count->hide();
    ui->label_6->hide();
    ui->label_5->hide();
    ui->lineEdit_success_count->hide();
}

AHRSGroupCommonWidget::~AHRSGroupCommonWidget()
{
    if (m_file) {
        if (m_file->isOpen()) {
            m_file->close();
        }
        delete m_file;
    }
    delete ui;
}

void AHRSGroupCommonWidget::InitWidget()
{
    auto* validator = new QRegExpValidator(QRegExp("[0-9]+", Qt::CaseSensitive), this);
    ui->lineEdit_firmware_version->setValidator(validator);
    ui->lineEdit_hard_version->setValidator(validator);
    ui->lineEdit_success_count->setValidator(validator);
    ui->lineEdit_test_count->setValidator(validator);
    ui->lineEdit_config_code->setValidator(validator);
    ui->lineEdit_imu_code->setValidator(validator);
    ui->lineEdit_param_code->setValidator(validator);
}

bool AHRSGroupCommonWidget::OpenFile()
{
    if (!m_file) {
        m_file = new QFile(m_config_path);
        LOG_DEBUG() << "当前路径: " << m_config_path;
    }
    if (m_file->isOpen()) {
        return true;
    }
    return m_file->open(QIODevice::ReadWrite | QIODevice::Text);
}

int AHRSGroupCommonWidget::ReadConfig()
{
    if (!OpenFile()) {
        return -1;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(m_file->readAll());
    if (doc.isNull()) {
        m_file->close();
        return -1;
    }
    const QJsonObject obj = doc.object();
    ui->lineEdi_temp->setText(QString::number(obj.value("Temp").toDouble(0.0)));
    ui->lineEdit_board_version->setText(obj.value("Board_Version").toString());
    ui->lineEdit_firmware_version->setText(QString::number(obj.value("Firmware_Version").toInt(0)));
    ui->lineEdit_hard_version->setText(QString::number(obj.value("Hardware_Version").toInt(0)));
    ui->lineEdit_test_count->setText(QString::number(obj.value("Test_Count").toInt(0)));
    ui->lineEdit_success_count->setText(QString::number(obj.value("Success_Count").toInt(0)));
    ui->lineEdit_config_code->setText(QString::number(obj.value("Config_Code").toInt(0)));
    ui->lineEdit_imu_code->setText(QString::number(obj.value("Imu_Code").toInt(0)));
    ui->lineEdit_param_code->setText(QString::number(obj.value("Param_Code").toInt(0)));
    m_file->close();
    return 0;
}

void AHRSGroupCommonWidget::RefreshCounts()
{
    QFile file(m_config_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (!doc.isObject()) {
        return;
    }
    const QJsonObject obj = doc.object();
    ui->lineEdit_test_count->setText(QString::number(obj.value("Test_Count").toInt(0)));
    ui->lineEdit_success_count->setText(QString::number(obj.value("Success_Count").toInt(0)));
}

int AHRSGroupCommonWidget::ModifyConfig(double temp, int firmware, int hardware, const QString& board,
                                        int testCount, int successCount, int configCode, int imuCode,
                                        int paramCode)
{
    QJsonObject obj;
    obj.insert("Temp", temp);
    obj.insert("Firmware_Version", firmware);
    obj.insert("Hardware_Version", hardware);
    obj.insert("Board_Version", board);
    obj.insert("Test_Count", testCount);
    obj.insert("Success_Count", successCount);
    obj.insert("Config_Code", configCode);
    obj.insert("Param_Code", paramCode);
    obj.insert("Imu_Code", imuCode);
    // Replaced whole or not at all: a full disk or a read-only folder leaves
    // the old settings in place and is not reported as saved.
    return CheckedFile::WriteAll(m_config_path, QJsonDocument(obj).toJson()) ? 0 : -1;
}

void AHRSGroupCommonWidget::on_pushButton_clicked()
{
    RefreshCounts();
    const QString temp = ui->lineEdi_temp->text();
    const QString board = ui->lineEdit_board_version->text();
    const QString firmware = ui->lineEdit_firmware_version->text();
    const QString hardware = ui->lineEdit_hard_version->text();
    const QString testCount = ui->lineEdit_test_count->text();
    const QString successCount = ui->lineEdit_success_count->text();
    const QString configCode = ui->lineEdit_config_code->text();
    const QString imuCode = ui->lineEdit_imu_code->text();
    const QString paramCode = ui->lineEdit_param_code->text();

    QString refusal;
    if (temp.isEmpty() || temp.toDouble() < 0) {
        refusal = "温度不能小于0";
    } else if (board.isEmpty()) {
        refusal = "底板版本号不能为空";
    } else if (firmware.isEmpty() || firmware.toInt() <= 0) {
        refusal = "固件版本号必须大于0";
    } else if (hardware.isEmpty() || hardware.toInt() <= 0) {
        refusal = "硬件版本号必须大于0";
    } else if (configCode.isEmpty()) {
        refusal = "配置故障码不能为空";
    } else if (paramCode.isEmpty()) {
        refusal = "参数故障码不能为空";
    } else if (imuCode.isEmpty()) {
        refusal = "IMU故障码不能为空";
    } else if (successCount.toInt() > testCount.toInt()) {
        refusal = "成功次数不能大于测试次数";
    }
    if (!refusal.isEmpty()) {
        DialogSeam::ShowWarning(this, "警告", refusal);
        return;
    }

    const double tempValue = static_cast<double>(temp.toFloat());
    const int result = ModifyConfig(tempValue, firmware.toInt(), hardware.toInt(), board, testCount.toInt(),
                                    static_cast<int>(successCount.toUInt()), configCode.toInt(),
                                    imuCode.toInt(), paramCode.toInt());
    if (result == 0) {
        DialogSeam::ShowWarning(this, "提示", "设置成功");
        hide();
        emit ReloadConfig();
    } else {
        DialogSeam::ShowWarning(this, "提示", "设置失败");
    }
}
