#include "widgets/singleTools/ahrsGroupPage/AHRSGroupWidget.h"

#include "ui_AHRSGroupWidget.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QStandardPaths>
#include <QTextCodec>
#include <qcustomplot.h>

#include <chrono>
#include <exception>
#include <cmath>
#include <thread>

#include "commom/CheckedFile.h"
#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "commom/CommonFunction.h"
#include "commom/ThreadPool.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "manager/SettingManager.h"
#include "widgets/singleTools/ahrsGroupPage/AHRSGroupCommonWidget.h"
#include "workerThread/MessageIds.h"

namespace {

std::atomic<int> g_waiting_tasks{0};

const char* const kOkImage = ":/images/resources/images/ok.png";
const char* const kErrorImage = ":/images/resources/images/error.png";

// CMD_SET_MODE with mode 1 (AHRS streaming, with the fixed argument pattern
// the device expects) or mode 3 (publish the attribute record).
QVariantList StreamModeList()
{
    return QVariantList{3, 1, 0, 0x1234, 0xABCD, 100, 200};
}

QVariantList RecordModeList()
{
    return QVariantList{3, 3, 0, 0, 0, 0, 0};
}

template <typename T>
T PayloadFrom(const QVariant& var)
{
    if (var.userType() == qMetaTypeId<T>()) {
        return var.value<T>();
    }
    QVariant copy = var;
    if (copy.isValid() && copy.convert(qMetaTypeId<T>())) {
        return copy.value<T>();
    }
    return T{};
}

// The value part of a read-out label, quoted only when it would otherwise
// split or break the CSV line (the IP filter shows a raw byte).
QString CsvField(const QString& labelText)
{
    const QStringList parts = labelText.split(QStringLiteral("："));
    QString value = parts.size() > 1 ? parts.at(1) : QString();
    if (value.contains(',') || value.contains('"') || value.contains('\n') || value.contains('\r')) {
        value.replace("\"", "\"\"");
        value = "\"" + value + "\"";
    }
    return value;
}

} // namespace

AHRSGroupWidget::AHRSGroupWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::AHRSGroupWidget), m_wait_state(std::make_shared<WaitState>())
{
    ui->setupUi(this);
    InitWidget();
    m_common_widget = new AHRSGroupCommonWidget(nullptr);
    m_common_widget->hide();
    connect(m_common_widget, &AHRSGroupCommonWidget::ReloadConfig, this, &AHRSGroupWidget::slot_reload_config);
    connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
            &AHRSGroupWidget::slot_display_Ahrs_group_value);
    m_data_dir = ChooseDataFolder(QCoreApplication::applicationDirPath() + "/data",
                                  QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/data");
    InitAutoResize();
}

AHRSGroupWidget::~AHRSGroupWidget()
{
    // Waiting tasks keep only the shared state; they end on their next poll.
    m_wait_state->page_gone.store(true);
    if (m_file) {
        if (m_file->isOpen()) {
            m_file->close();
        }
        delete m_file;
    }
    delete m_common_widget;
    delete ui;
}

QString AHRSGroupWidget::ChooseDataFolder(const QString& besideExecutable, const QString& perUser)
{
    for (const QString& folder : {besideExecutable, perUser}) {
        QDir().mkpath(folder);
        const QFileInfo info(folder);
        if (info.isDir() && info.isWritable()) {
            return folder;
        }
        LOG_WARN() << "测试结果文件夹不可写:" << folder;
    }
    // Neither can be written: the first is kept, and each result file that
    // cannot be written is reported when it is written.
    return besideExecutable;
}

int AHRSGroupWidget::WaitingTasks()
{
    return g_waiting_tasks.load();
}

void AHRSGroupWidget::SetClockSource(PageClock::Source source)
{
    m_clock.SetSource(std::move(source));
    m_start_time = m_clock.NowS();
    m_last_add_time = m_last_plot_time = m_last_label_time = 0.0;
}

double AHRSGroupWidget::PageTime() const
{
    return m_clock.NowS() - m_start_time;
}

void AHRSGroupWidget::InitWidget()
{
    ui->comboBox_module_1->addItems({"All", "ax", "ay", "az"});
    ui->comboBox_module_2->addItems({"All", "gx", "gy", "gz"});
    QCustomPlot* plots[2] = {ui->cu_plot1, ui->cu_plot2};
    const char* valueLabels[2] = {"accel", "gyro"};
    const QColor colours[3] = {Qt::red, Qt::blue, Qt::green};
    const char* names[3] = {"x", "y", "z"};
    for (int i = 0; i < 2; ++i) {
        QCustomPlot* plot = plots[i];
        plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectPlottables | QCP::iSelectAxes |
                              QCP::iSelectLegend);
        plot->axisRect()->setRangeZoomAxes(nullptr, plot->yAxis);
        plot->xAxis->setLabel("t");
        plot->yAxis->setLabel(valueLabels[i]);
        plot->legend->setVisible(true);
        plot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
        plot->yAxis->setRange(-2, 2);
        for (int g = 0; g < 3; ++g) {
            plot->addGraph();
            plot->graph(g)->setName(names[g]);
            plot->graph(g)->setPen(QPen(colours[g]));
        }
    }
    m_start_time = m_clock.NowS();
    m_config_path = SettingManager::GetInstance()->GetAhrsGroupConfigPath();
    ReadConfig();
    DisplayUnderLabel();
}

// The page keeps its design geometry: nothing is scaled.
void AHRSGroupWidget::InitAutoResize() {}

void AHRSGroupWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
}

void AHRSGroupWidget::on_btn_set_config_clicked()
{
    m_common_widget->ReadConfig();
    m_common_widget->show();
}

void AHRSGroupWidget::slot_reload_config()
{
    ReadConfig();
    DisplayUnderLabel();
}

void AHRSGroupWidget::slot_display_Ahrs_group_value(int id, QVariant var1, QVariant var2)
{
    if (id == PAGE_MSG_AHRS_GROUP_STARTED) {
        StartTest();
    } else if (id == PAGE_MSG_CONNECTION && var1.isValid() && !var1.toBool()) {
        EndWaitTask();
    } else if (id == PAGE_MSG_AHRS_GROUP_ATTRIBUTES) {
        QLabel* verdictLabels[] = {ui->label_software_ver, ui->label_hadware_ver, ui->label_board_ver,
                                   ui->label_temp, ui->label_config_fcode, ui->label_calibparam_fcode,
                                   ui->label_imu_fcode};
        for (QLabel* label : verdictLabels) {
            label->setStyleSheet("");
        }
        const VersionPayload version = PayloadFrom<VersionPayload>(var2);
        const ArrayImuI2cPayloadCalibPublish record = PayloadFrom<ArrayImuI2cPayloadCalibPublish>(var1);
        DisplayAHRSAttributeData(record, version);
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_MODE_START, StreamModeList(),
                                                               QString(""));
    } else if (id == PAGE_MSG_AHRS_GROUP_DATA) {
        const double t = PageTime();
        m_acc_select = ui->comboBox_module_1->currentIndex();
        m_gyro_select = ui->comboBox_module_2->currentIndex();
        const AhrsData sample = PayloadFrom<AhrsData>(var1);
        if (t - m_last_add_time > 0.01) {
            AddDataToVec(sample, t);
        }
        if (t - m_last_plot_time > 0.02) {
            DisplayAHRSPlotData(t);
        }
        if (t - m_last_label_time > 0.1) {
            DisplayAHRSNumValue(sample, t);
        }
    }
}

void AHRSGroupWidget::ShowWaitStatus()
{
    const double temp = m_wait_state->imu_temp.load();
    if (m_wait_state->task_waiting.load() && !(temp > 0.0)) {
        // The device's record is asked for only once it shows a temperature
        // above zero; say so rather than wait without a word.
        ui->label_wait_status->setText(QStringLiteral("等待设备温度大于0℃，当前：%1℃")
                                           .arg(QString::number(temp, 'f', 2)));
    } else if (!ui->label_wait_status->text().isEmpty()) {
        ui->label_wait_status->setText(QStringLiteral("已请求设备信息"));
    }
}

void AHRSGroupWidget::StartTest()
{
    if (g_ahrsGroupOneFlag.load() == 0) {
        const QMessageBox::StandardButton answer = DialogSeam::AskWarningQuestion(this, "提示", "是否重新计数");
        if (answer == QMessageBox::Yes) {
            LOG_DEBUG() << "重置配置文件";
            if (ModifyConfig(0, 0) != 0 || ReadConfig() != 0) {
                DialogSeam::ShowCritical(this, "错误", "请检查配置文件");
                return;
            }
        } else {
            LOG_DEBUG() << "读取配置文件";
            if (ReadConfig() != 0) {
                DialogSeam::ShowCritical(this, "错误", "请检查配置文件");
                return;
            }
        }
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_MODE_START, StreamModeList(),
                                                               QString(""));
        EnqueueWaitTask();
        g_ahrsGroupOneFlag.fetch_add(1);
        DialogSeam::ShowInformation(this, "提示", "模式启动成功 数据保存文件夹路径" + m_data_dir);
        return;
    }
    m_wait_state->imu_temp.store(0.0);
    SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_MODE_START, StreamModeList(), QString(""));
    EnqueueWaitTask();
}

void AHRSGroupWidget::EndWaitTask()
{
    // The device a task waits for went with its connection: the task ends
    // on its next poll, and a device connected later is asked for its
    // record only once it is started itself.
    if (m_wait_state->task_waiting.load()) {
        LOG_INFO() << "设备连接已断开,停止等待设备数据";
    }
    m_wait_state->page_gone.store(true);
    m_wait_state = std::make_shared<WaitState>();
    ui->label_wait_status->clear();
}

void AHRSGroupWidget::EnqueueWaitTask()
{
    std::shared_ptr<WaitState> state = m_wait_state;
    if (state->task_waiting.exchange(true)) {
        LOG_DEBUG() << "已在等待设备温度，不再重复请求设备信息";
        return;
    }
    ui->label_wait_status->setText(QStringLiteral("等待设备数据"));
    g_waiting_tasks.fetch_add(1);
    try {
        EnqueueOnPool(state);
    } catch (const std::exception& e) {
        // Only a pool that is shutting down refuses work; the process is ending.
        state->task_waiting.store(false);
        g_waiting_tasks.fetch_sub(1);
        LOG_WARN() << "等待任务未能启动" << QString::fromLocal8Bit(e.what());
    }
}

void AHRSGroupWidget::EnqueueOnPool(const std::shared_ptr<WaitState>& state)
{
    ThreadPool::GetInstance()->enqueue([state]() {
        // Polls rather than waits on a signal: the pool threads have no event
        // loop. A NaN temperature ends the wait as a positive one does.
        while (state->imu_temp.load() <= 0.0) {
            if (g_app_is_exit.load()) {
                ForceExitApplication();
            }
            if (state->page_gone.load()) {
                state->task_waiting.store(false);
                g_waiting_tasks.fetch_sub(1);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        state->task_waiting.store(false);
        if (!state->page_gone.load()) {
            SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_GROUP_COMMAND, RecordModeList(),
                                                                   QString(""));
        }
        g_waiting_tasks.fetch_sub(1);
    });
}

void AHRSGroupWidget::DisplayAHRSAttributeData(const ArrayImuI2cPayloadCalibPublish& record,
                                               const VersionPayload& version)
{
    const QString sn = QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(record.serial_number), sizeof(record.serial_number)).toHex());
    const uint32_t software = static_cast<uint32_t>(record.software_ver & 0xFFFFFFFFu);
    const QString boardCode = QString::number(version.board_code);
    const QString board =
        g_model_board_codes.contains(boardCode) ? boardCode : Int32toAscii(version.board_version);

    ui->label_calib_flag_h->setText("CALIB_FLAG_H：" + QString::number(record.calib_flag_h));
    ui->label_calib_flag->setText("CALIB_FLAG：" + QString::number(record.calib_flag));
    ui->label_sn->setText("SN：" + sn);
    ui->label_imu_fcode->setText("IMU_FCODE：" + QString::number(record.imu_fcode));
    ui->label_config_fcode->setText("CONFIG_FCODE：" + QString::number(record.config_fcode));
    ui->label_calibparam_fcode->setText("CALIBPARAM_FCODE：" + QString::number(record.calibparam_fcode));
    ui->label_hadware_ver->setText("HARWARE_VER：" + QString::number(record.hardware_ver));
    ui->label_software_ver->setText("SOFTWARE_VER：" + QString::number(software));
    ui->label_board_ver->setText("BOARD_VER：" + board);
    // A filter byte of 0 is no character: the label and the result file
    // stay empty rather than carry a NUL.
    const QString filter = record.ip_filter == 0 ? QString() : QString(QChar(static_cast<ushort>(record.ip_filter)));
    ui->label_ip_filter->setText("IP_FILTER：" + filter);

    m_fail_total = m_fail_firmware = m_fail_hardware = m_fail_board = m_fail_temp = m_fail_fault_code = 0;
    const QString red = "background-color: red";
    auto fail = [this, &red](int& counter, QLabel* label) {
        ++m_fail_total;
        ++counter;
        label->setStyleSheet(red);
    };
    if (software != static_cast<uint32_t>(m_firmware_version)) {
        fail(m_fail_firmware, ui->label_software_ver);
    }
    if (record.hardware_ver != m_hardware_version) {
        fail(m_fail_hardware, ui->label_hadware_ver);
    }
    if (board != m_board_version) {
        fail(m_fail_board, ui->label_board_ver);
    }
    if (record.config_fcode != m_config_code) {
        fail(m_fail_fault_code, ui->label_config_fcode);
    }
    if (record.calibparam_fcode != m_param_code) {
        fail(m_fail_fault_code, ui->label_calibparam_fcode);
    }
    if (record.imu_fcode != m_imu_code) {
        fail(m_fail_fault_code, ui->label_imu_fcode);
    }
    const double imuTemp = m_wait_state->imu_temp.load();
    const double difference = std::abs(imuTemp * 100 - m_compare_temp * 100);
    // A temperature that is not a number cannot be within 5 degrees.
    if (!(difference <= 500)) {
        LOG_DEBUG() << "m_imu_temp" << imuTemp;
        LOG_DEBUG() << "m_compare_temp" << m_compare_temp;
        LOG_DEBUG() << "std::abs(m_imu_temp * 100 - m_compare_temp * 100)" << difference;
        fail(m_fail_temp, ui->label_temp);
    }

    if (m_fail_total != 0) {
        ui->label_image->setPixmap(QPixmap(kErrorImage));
    } else {
        ui->label_image->setPixmap(QPixmap(kOkImage));
        ++m_success_count;
    }
    ++m_test_count;
    ui->label_wait_status->clear();
    if (ModifyConfig(static_cast<unsigned int>(m_test_count), static_cast<unsigned int>(m_success_count)) != 0) {
        // The counts in memory stand; the next write that succeeds catches up.
        LOG_WARN() << "测试次数未能保存到配置文件:" << m_config_path;
    }
    QString error;
    const bool written = WriteToFile(sn, &error);
    DisplayUnderLabel();
    if (!written) {
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), QStringLiteral("测试结果未能保存：") + error);
    }
}

void AHRSGroupWidget::DisplayUnderLabel()
{
    ui->label_compare_temp->setText("对照温度：" + QString::number(m_compare_temp, 'f', 2));
    ui->label_compare_software_ver->setText("对照固件版本：" + QString::number(m_firmware_version));
    ui->label_compare_harware_ver->setText("对照硬件版本：" + QString::number(m_hardware_version));
    ui->label_compare_boad_ver->setText("对照底板版本：" + m_board_version);
    ui->label_test_count->setText("测试次数：" + QString::number(m_test_count));
    ui->label_success_count->setText("成功次数：" + QString::number(m_success_count));
    ui->label_failed_count->setText("失败次数：" + QString::number(m_test_count - m_success_count));
    ui->label_config_code->setText("配置故障码：" + QString::number(m_config_code));
    ui->label_imu_code->setText("IMU故障码：" + QString::number(m_imu_code));
    ui->label_param_code->setText("参数故障码：" + QString::number(m_param_code));
}

int AHRSGroupWidget::ReadConfig()
{
    if (!m_file) {
        m_file = new QFile(m_config_path);
        LOG_DEBUG() << "当前路径: " << m_config_path;
    }
    if (!m_file->open(QIODevice::ReadWrite | QIODevice::Text)) {
        return -1;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(m_file->readAll());
    if (doc.isNull()) {
        m_file->close();
        return -1;
    }
    const QJsonObject obj = doc.object();
    m_compare_temp = obj.value("Temp").toDouble(0.0);
    m_firmware_version = obj.value("Firmware_Version").toInt(0);
    m_hardware_version = obj.value("Hardware_Version").toInt(0);
    m_board_version = obj.value("Board_Version").toString();
    m_test_count = obj.value("Test_Count").toInt(0);
    m_success_count = obj.value("Success_Count").toInt(0);
    m_config_code = obj.value("Config_Code").toInt(0);
    m_imu_code = obj.value("Imu_Code").toInt(0);
    m_param_code = obj.value("Param_Code").toInt(0);
    m_file->close();
    return 0;
}

int AHRSGroupWidget::ModifyConfig(unsigned int testCount, unsigned int successCount)
{
    QFile file(m_config_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return -1;
    }
    QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    file.close();
    if (doc.isNull()) {
        // Left as it is: the operator may still repair it by hand.
        return -1;
    }
    QJsonObject obj = doc.object();
    obj.insert("Test_Count", static_cast<double>(testCount));
    obj.insert("Success_Count", static_cast<double>(successCount));
    doc.setObject(obj);
    // Replaced whole or not at all: a failed write leaves the old counts.
    return CheckedFile::WriteAll(m_config_path, doc.toJson()) ? 0 : -1;
}

bool AHRSGroupWidget::WriteToFile(const QString& sn, QString* error)
{
    const QStringList header{"ax", "ay", "az", "gx", "gy", "gz", "calib_flag_h", "calib_flag", "config_fcode", "ip_filter",
                       "temp", "imu_fcode", "software_ver", "hardware_ver", "board_ver", "calibparam_fcode", "SN",
                       "flag"};
    const QLabel* labels[] = {ui->label_ax, ui->label_ay, ui->label_az, ui->label_gx, ui->label_gy, ui->label_gz,
                              ui->label_calib_flag_h, ui->label_calib_flag, ui->label_config_fcode,
                              ui->label_ip_filter, ui->label_temp, ui->label_imu_fcode, ui->label_software_ver,
                              ui->label_hadware_ver, ui->label_board_ver, ui->label_calibparam_fcode,
                              ui->label_sn};
    QStringList fields;
    for (const QLabel* label : labels) {
        fields << CsvField(label->text());
    }
    QString flag;
    if (m_fail_firmware == 0 && m_fail_hardware == 0 && m_fail_board == 0 && m_fail_temp == 0 &&
        m_fail_fault_code == 0 && m_fail_total == 0) {
        flag = "成功";
    } else {
        if (m_fail_firmware > 0) flag += "固件版本不对;";
        if (m_fail_hardware > 0) flag += "硬件版本不对;";
        if (m_fail_board > 0) flag += "底板版本不对;";
        if (m_fail_temp > 0) flag += "温度相差大于5度;";
        if (m_fail_fault_code > 0) flag += "系统错误码错误;";
    }
    fields << flag;
    const QString text = header.join(",") + "\n" + fields.join(",") + "\n";
    const QByteArray bytes = QTextCodec::codecForName("GBK")->fromUnicode(text);
    // One file per serial number: a device tested again replaces its file.
    if (!CheckedFile::WriteAll(m_data_dir + "/" + sn + ".csv", bytes, error)) {
        LOG_DEBUG() << "Failed to open file fro writing";
        return false;
    }
    return true;
}

bool AHRSGroupWidget::Selected(int series) const
{
    const int choice = series < SERIES_GYRO_X ? m_acc_select : m_gyro_select;
    const int axis = series % 3 + 1;
    return choice == 0 || choice == axis;
}

void AHRSGroupWidget::AddDataToVec(const AhrsData& data, double t)
{
    const double values[SERIES_COUNT] = {data.acc_x, data.acc_y, data.acc_z, data.gyro_x, data.gyro_y, data.gyro_z};
    for (int i = 0; i < SERIES_COUNT; ++i) {
        if (m_counts[i] >= kMaxPoints) {
            m_keys[i].removeFirst();
            m_values[i].removeFirst();
            --m_counts[i];
        }
        if (Selected(i)) {
            m_keys[i].append(t);
            m_values[i].append(values[i]);
            ++m_counts[i];
        }
    }
    m_last_add_time = t;
}

void AHRSGroupWidget::DisplayAHRSPlotData(double t)
{
    QCustomPlot* plots[2] = {ui->cu_plot1, ui->cu_plot2};
    for (int i = 0; i < SERIES_COUNT; ++i) {
        if (Selected(i)) {
            plots[i / 3]->graph(i % 3)->setData(m_keys[i], m_values[i], false);
        }
    }
    for (QCustomPlot* plot : plots) {
        plot->xAxis->setRange(t, 5.0, Qt::AlignRight);
        for (int g = 0; g < 3; ++g) {
            plot->graph(g)->rescaleValueAxis(true, true);
        }
        plot->replot(QCustomPlot::rpQueuedReplot);
    }
    m_last_plot_time = t;
}

void AHRSGroupWidget::DisplayAHRSNumValue(const AhrsData& data, double t)
{
    ui->label_ax->setText("ACCX：" + QString::number(data.acc_x, 'f', 3));
    ui->label_ay->setText("ACCY：" + QString::number(data.acc_y, 'f', 3));
    ui->label_az->setText("ACCZ：" + QString::number(data.acc_z, 'f', 3));
    ui->label_gx->setText("GYROX：" + QString::number(data.gyro_x, 'f', 3));
    ui->label_gy->setText("GYROY：" + QString::number(data.gyro_y, 'f', 3));
    ui->label_gz->setText("GYROZ：" + QString::number(data.gyro_z, 'f', 3));
    m_wait_state->imu_temp.store(static_cast<double>(data.temperature));
    ui->label_temp->setText("TEMP：" + QString::number(data.temperature, 'f', 2));
    ShowWaitStatus();
    m_last_label_time = t;
}
