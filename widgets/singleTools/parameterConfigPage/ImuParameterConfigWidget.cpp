#include "widgets/singleTools/parameterConfigPage/ImuParameterConfigWidget.h"

#include "ui_ImuParameterConfigWidget.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QSignalBlocker>

#include <cmath>

#include "commom/CommonFunction.h"
#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "controls/AutoResizer.h"
#include "manager/NotifyMsgManager.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "manager/SettingManager.h"
#include "widgets/singleTools/parameterConfigPage/CoordParamsSet.h"
#include "widgets/singleTools/parameterConfigPage/ParamCsv.h"
#include "widgets/singleTools/parameterConfigPage/SetPromptDialog.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"
#include "workerThread/SerialPortManager.h"

qint64 ImuParameterConfigWidget::m_lastReadClick = 0;
qint64 ImuParameterConfigWidget::m_lastWriteClick = 0;
ImuParameterConfigWidget::ClockFunction ImuParameterConfigWidget::m_clock = &GetMonotonicTimeInMs;

namespace {

// Clicks closer together than this to the last accepted one are dropped.
constexpr quint64 kClickIntervalMs = 499;

// Stream mode values of the device.
constexpr unsigned int kStreamCommandMode = 100;
constexpr unsigned int kStreamAhrs = 1;
// Gyro-bias removal values of the device.
constexpr float kGyroBiasOff = 0.0f;
constexpr float kGyroBiasOn = 10.0f;

// Combo indexes of the stream combo.
enum StreamIndex { STREAM_NA = 0, STREAM_COMMAND = 1, STREAM_AHRS = 2, STREAM_OTHER = 3, STREAM_CUSTOM = 4 };
// Combo indexes of the gyro-bias combo.
enum GyroBiasIndex { GYRO_BIAS_NA = 0, GYRO_BIAS_OFF = 1, GYRO_BIAS_ON = 2 };

const char* const kStatusReading = "状态：正在读取参数.....";
const char* const kStatusWriting = "状态：正在设置参数.....";
const char* const kStatusExporting = "状态：正在读取参数表.....";

QStringList FilterItems()
{
    return {"N/A", "LPF_IIR_0.2Hz", "LPF_IIR_1Hz", "LPF_IIR_2Hz", "LPF_IIR_5Hz", "LPF_IIR_10Hz",
            "LPF_IIR_15Hz", "LPF_IIR_20Hz", "LPF_IIR_25Hz", "LPF_IIR_30Hz", "LPF_IIR_35Hz",
            "LPF_IIR_40Hz", "no filter"};
}

QStringList StandardBauds()
{
    return {"N/A", "9600", "115200", "230400", "460800", "921600", "1500000"};
}

QStringList StandardRates()
{
    return {"N/A", "1", "10", "50", "100", "200", "500", "1000"};
}

// Text of a line edit as a float, C locale; unreadable text gives 0.
float EditValue(const QString& text)
{
    bool ok = false;
    const float value = text.toFloat(&ok);
    return ok ? value : 0.0f;
}

QString NumberText(float value)
{
    return QString::number(static_cast<double>(value), 'g', 6);
}

} // namespace

ImuParameterConfigWidget::ImuParameterConfigWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::ImuParameterConfigWidget)
{
    ui->setupUi(this);
    InitWidget();

    for (QComboBox* box : {ui->combo_box_stream_status, ui->comboBoxBaud, ui->comboBoxUpdate,
                           ui->comboBoxGyroLpy, ui->comboBoxAccelLpf, ui->comboBoxGyroBias}) {
        box->installEventFilter(this);
    }
    connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage,
            this, &ImuParameterConfigWidget::slot_display_parameter_config);

    ui->groupBox_customLayout_2->hide();
    for (QWidget* w : {static_cast<QWidget*>(ui->label_gyroBias_x), static_cast<QWidget*>(ui->label_gyroBias_y),
                       static_cast<QWidget*>(ui->label_gyroBias_z), static_cast<QWidget*>(ui->lineEditGyroBias_x),
                       static_cast<QWidget*>(ui->lineEditGyroBias_y), static_cast<QWidget*>(ui->lineEditGyroBias_z)}) {
        w->hide();
    }
    // The axis chooser takes the place of the hidden "其他参数" group.
    const QRect coord = ui->groupBox_customLayout_3->geometry();
    ui->groupBox_customLayout_3->setGeometry(coord.left(), ui->groupBox_customLayout_2->geometry().top(),
                                             coord.width(), ui->groupBox_customLayout_1->height());

    InitAutoResize();
    HideImportRow();
    ui->label_status->clear();
    m_preConfigPath = SettingManager::GetInstance()->GetPreSaveParamTableConfigPath();
    connect(NotifyMsgManager::GetInstance(), &NotifyMsgManager::LogMsgParamConfig, this,
            &ImuParameterConfigWidget::slot_show_status_text);
    ui->label_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_exportWatchdog.setSingleShot(true);
    m_exportWatchdog.setTimerType(Qt::PreciseTimer);
    m_exportWatchdog.setInterval(kExportWatchdogMs);
    connect(&m_exportWatchdog, &QTimer::timeout, this, &ImuParameterConfigWidget::slot_export_watchdog);
}

ImuParameterConfigWidget::~ImuParameterConfigWidget()
{
    if (m_request == Request::Export) {
        FailExport(QString());
    }
    if (m_exportFile.isOpen()) {
        m_exportFile.close();
    }
}

QString ImuParameterConfigWidget::PageCaption()
{
    return QString::fromUtf8("参数设置");
}

void ImuParameterConfigWidget::SetClockForTest(ClockFunction clock)
{
    m_clock = clock ? clock : &GetMonotonicTimeInMs;
}

void ImuParameterConfigWidget::ResetClickFilterForTest()
{
    m_lastReadClick = 0;
    m_lastWriteClick = 0;
}

std::optional<int> ImuParameterConfigWidget::DeviceValueToInt(float value)
{
    if (!std::isfinite(value) || value >= 2147483648.0f || value < -2147483648.0f) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

void ImuParameterConfigWidget::FillBaudItems(QComboBox* box)
{
    box->addItems(StandardBauds());
    box->addItem("Custom");
}

void ImuParameterConfigWidget::FillUpdateItems(QComboBox* box)
{
    box->addItems(StandardRates());
    box->addItem("Custom");
}

void ImuParameterConfigWidget::InitWidget()
{
    {
        // Filling would make a one-item combo look like its "Custom" entry.
        const QSignalBlocker b1(ui->combo_box_stream_status);
        const QSignalBlocker b2(ui->comboBoxBaud);
        const QSignalBlocker b3(ui->comboBoxUpdate);
        ui->combo_box_stream_status->addItems({"N/A", "命令模式", "AHRS数据流", "其它", "Custom"});
        FillBaudItems(ui->comboBoxBaud);
        FillUpdateItems(ui->comboBoxUpdate);
        ui->comboBoxGyroLpy->addItems(FilterItems());
        ui->comboBoxAccelLpf->addItems(FilterItems());
        ui->comboBoxGyroBias->addItems({"N/A", "关闭", "开启"});
    }
    for (QComboBox* box : {ui->combo_box_stream_status, ui->comboBoxBaud, ui->comboBoxUpdate,
                           ui->comboBoxGyroLpy, ui->comboBoxAccelLpf, ui->comboBoxGyroBias}) {
        box->setEditable(false);
        // A typed value replaces "Custom" in place; Enter must not add items.
        box->setInsertPolicy(QComboBox::NoInsert);
    }
    m_setPromptDialog.reset(new SetPromptDialog(nullptr));
    HideImportRow();
}

void ImuParameterConfigWidget::HideImportRow()
{
    ui->label->hide();
    ui->lineEdit_config_path->hide();
    ui->btn_open_config_path->hide();
    ui->btn_import_config->hide();
}

void ImuParameterConfigWidget::InitAutoResize()
{
    m_autoResizer.reset(new AutoResizer(this, width(), height()));
    m_autoResizer->setAutoResizeFlag(AutoResizer::INCLUDE_LABEL | AutoResizer::INCLUDE_BUTTON
                                     | AutoResizer::INCLUDE_EDITOR | AutoResizer::INCLUDE_COMBOBOX);
    m_autoResizer->doneAllResizeItem();
}

void ImuParameterConfigWidget::resizeEvent(QResizeEvent* event)
{
    if (m_autoResizer) {
        m_autoResizer->doAutoResize();
    }
    QWidget::resizeEvent(event);
}

bool ImuParameterConfigWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove
        && (watched == ui->combo_box_stream_status || watched == ui->comboBoxBaud
            || watched == ui->comboBoxUpdate || watched == ui->comboBoxGyroLpy
            || watched == ui->comboBoxAccelLpf || watched == ui->comboBoxGyroBias)) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool ImuParameterConfigWidget::AcceptClick(qint64* lastAccepted)
{
    const qint64 now = m_clock();
    if (static_cast<quint64>(now - *lastAccepted) <= kClickIntervalMs) {
        return false;
    }
    *lastAccepted = now;
    return true;
}

bool ImuParameterConfigWidget::isPositiveInteger(const QString& text) const
{
    static const QRegularExpression digits("^[0-9]\\d*$");
    return digits.match(text).hasMatch();
}

void ImuParameterConfigWidget::CheckConnection()
{
    if (!g_communicate_with_serial_flag) {
        DialogSeam::ShowCritical(this, "错误", "未成功连接设备");
    }
}

void ImuParameterConfigWidget::ShowStatus(const QString& text)
{
    ui->label_status->setText(text);
}

void ImuParameterConfigWidget::slot_show_status_text(int type, QStringList texts)
{
    if (texts.isEmpty()) {
        return;
    }
    QString text = texts.first();
    if (type == NotifyMsgManager::PAGE_TYPE_STATUS_END
        && (m_request == Request::Read || m_request == Request::Write)) {
        // A read reported as done whose values never reached the form must
        // not stand as a success over empty fields.
        if (m_request == Request::Read && !m_readGotData && text == QString::fromUtf8("状态：读取数据成功")) {
            text = QString::fromUtf8("状态：读取数据失败（未收到参数）");
        }
        EndRequest();
    }
    ShowStatus(text);
}

bool ImuParameterConfigWidget::RequestAllowed()
{
    if (m_request == Request::None) {
        return true;
    }
    ShowStatus(QString::fromUtf8("状态：当前请求未完成，请稍后再试"));
    return false;
}

void ImuParameterConfigWidget::StartRequest(Request request)
{
    // Without a device worker nothing can answer: the request goes out as
    // always, but nothing would end it, and the page says so at once. An
    // export ends by its watchdog.
    if (SerialPortManager::GetInstance()->GetImuWorker() == nullptr && request != Request::Export) {
        ShowStatus(QString::fromUtf8(request == Request::Read ? "状态：读取数据失败（设备未连接）"
                                                              : "状态：设置参数失败（设备未连接）"));
        return;
    }
    m_request = request;
    m_readGotData = false;
    for (QPushButton* button : {ui->button_read, ui->button_write, ui->btn_export_param}) {
        button->setEnabled(false);
    }
}

void ImuParameterConfigWidget::EndRequest()
{
    m_request = Request::None;
    m_exportWatchdog.stop();
    for (QPushButton* button : {ui->button_read, ui->button_write, ui->btn_export_param}) {
        button->setEnabled(true);
    }
}

void ImuParameterConfigWidget::on_button_read_clicked()
{
    if (!AcceptClick(&m_lastReadClick) || !RequestAllowed()) {
        return;
    }
    CheckConnection();
    ShowStatus(kStatusReading);
    ClearValues();
    StartRequest(Request::Read);
    SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_READ_PARAMS, QVariant(QString("")),
                                                           QVariant(QString("")));
}

void ImuParameterConfigWidget::on_button_write_clicked()
{
    if (!AcceptClick(&m_lastWriteClick) || !RequestAllowed()) {
        return;
    }
    CheckConnection();
    ImuParamData data{};

    auto refuse = [](const char* text) { DialogSeam::ShowWarning(nullptr, "警告", text); };

    // 1: stream mode. An index of -1 (no current item) counts as unselected.
    const int stream = ui->combo_box_stream_status->currentIndex();
    if (stream <= STREAM_NA) {
        refuse("请选择初始数据流模式");
        return;
    }
    if (stream == STREAM_AHRS) {
        data.STREAM_MODE1 = kStreamAhrs;
    } else if (stream == ui->combo_box_stream_status->count() - 1) {
        bool ok = false;
        const uint typed = ui->combo_box_stream_status->currentText().toUInt(&ok);
        data.STREAM_MODE1 = ok ? static_cast<float>(typed) : 0.0f;
    } else {
        data.STREAM_MODE1 = kStreamCommandMode;
    }

    // 2, 3: baud rate.
    const int baud = ui->comboBoxBaud->currentIndex();
    if (baud <= 0) {
        refuse("请选择波特率");
        return;
    }
    bool baudOk = false;
    const uint baudValue = ui->comboBoxBaud->currentText().toUInt(&baudOk);
    if (baud == ui->comboBoxBaud->count() - 1
        && (!isPositiveInteger(ui->comboBoxBaud->currentText()) || !baudOk)) {
        // Digits that no 32-bit baud holds would go out as 0.
        refuse("请保证输入自定义波特率为纯数字");
        return;
    }
    data.BAUD_RATE = baudOk ? static_cast<float>(baudValue) : 0.0f;

    // 4: automatic gyro-bias removal.
    const int gyroBias = ui->comboBoxGyroBias->currentIndex();
    if (gyroBias != GYRO_BIAS_OFF && gyroBias != GYRO_BIAS_ON) {
        refuse("请选自动扣陀螺零偏开关值");
        return;
    }
    data.auto_gyro_bias_delete = gyroBias == GYRO_BIAS_ON ? kGyroBiasOn : kGyroBiasOff;

    // 5: update rate ("N/A" reads as 0).
    if (ui->comboBoxUpdate->currentIndex() == ui->comboBoxUpdate->count() - 1
        && !isPositiveInteger(ui->comboBoxUpdate->currentText())) {
        refuse("请保证输入自定义更新率为纯数字");
        return;
    }
    data.IMU_ODR = EditValue(ui->comboBoxUpdate->currentText());

    // 6: 115200 baud carries at most 100 Hz.
    if (data.BAUD_RATE == 115200.0f && data.IMU_ODR > 100.0f) {
        refuse("115200最大ODR只支持100Hz");
        return;
    }

    // 7: filters. A filter value the device reported outside the list
    // leaves the combo without a current item (-1): that is no choice either.
    const int accel = ui->comboBoxAccelLpf->currentIndex();
    const int gyro = ui->comboBoxGyroLpy->currentIndex();
    if (accel <= 0 || gyro <= 0) {
        refuse("请选择滤波器");
        return;
    }
    data.LP_CONFIG_REG = static_cast<float>((((accel - 1) << 4) | (gyro - 1)) & 0xFF);

    data.GYRO_BIAS_X = EditValue(ui->lineEditGyroBias_x->text());
    data.GYRO_BIAS_Y = EditValue(ui->lineEditGyroBias_y->text());
    data.GYRO_BIAS_Z = EditValue(ui->lineEditGyroBias_z->text());
    data.INSTALL_ERR_ALPHA = EditValue(ui->lineEditInstallAngle_x->text());
    data.INSTALL_ERR_BEAT = EditValue(ui->lineEditInstallAngle_y->text());
    data.INSTALL_ERR_GAMA = EditValue(ui->lineEditInstallAngle_z->text());
    data.CAN_ID = EditValue(ui->lineEditCanId->text());
    // With X chosen but not yet Y, the chooser stands for no orientation:
    // writing its fallback code would turn the device without being asked.
    if (!ui->widget_coord_param_set_customLayout->IsComplete()) {
        refuse("请先选择X轴和Y轴的朝向");
        return;
    }
    data.imu_orientation = ui->widget_coord_param_set_customLayout->getCode();

    ShowStatus(kStatusWriting);
    StartRequest(Request::Write);
    SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_WRITE_PARAMS, QVariant::fromValue(data),
                                                           QVariant(QString("")));
}

void ImuParameterConfigWidget::on_comboBoxBaud_currentIndexChanged(int index)
{
    ui->comboBoxBaud->setEditable(index == ui->comboBoxBaud->count() - 1);
}

void ImuParameterConfigWidget::on_comboBoxUpdate_currentIndexChanged(int index)
{
    ui->comboBoxUpdate->setEditable(index == ui->comboBoxUpdate->count() - 1);
}

void ImuParameterConfigWidget::on_combo_box_stream_status_currentIndexChanged(int index)
{
    ui->combo_box_stream_status->setEditable(index == ui->combo_box_stream_status->count() - 1);
}

void ImuParameterConfigWidget::CompareAndShow(QComboBox* box, float value)
{
    if (!box) {
        return;
    }
    const std::optional<int> truncated = DeviceValueToInt(value);
    if (!truncated) {
        // NaN or out of range: no known value, so nothing is selected.
        box->setCurrentIndex(0);
        return;
    }
    for (int i = 0; i < box->count(); ++i) {
        bool ok = false;
        const uint itemValue = box->itemText(i).toUInt(&ok);
        if (static_cast<qint64>(ok ? itemValue : 0) == static_cast<qint64>(*truncated)) {
            box->setCurrentIndex(i);
            return;
        }
    }
    if (box == ui->comboBoxBaud) {
        box->clear();
        box->addItems(StandardBauds());
        // Written as a whole number so that a write reads it back as it was
        // read; an exponent form such as 2e+06 would go out as baud 0.
        box->addItem(QString::number(*truncated));
        box->addItem("Custom");
        box->setCurrentIndex(7);
    } else if (box == ui->comboBoxUpdate) {
        box->clear();
        box->addItems(StandardRates());
        box->addItem(NumberText(value));
        box->addItem("Custom");
        box->setCurrentIndex(8);
    }
}

void ImuParameterConfigWidget::slot_display_parameter_config(int id, QVariant var1, QVariant var2)
{
    if (id == PAGE_MSG_CONNECTION && var1.isValid() && !var1.toBool()) {
        ForgetDevice();
        return;
    }
    // The answers of a request this page runs are its own even while
    // another tool is shown; other answers count only while it is current.
    const bool current = g_current_action_name == PageCaption();
    if (id == PAGE_MSG_PARAM_TABLE_READ && (current || m_request == Request::Export)) {
        bool ok = false;
        const int code = var1.toInt(&ok);
        if (!ok) {
            return;
        }
        const bool exporting = m_request == Request::Export;
        switch (code) {
        case PARAM_TABLE_READ_PROGRESS:
        case PARAM_TABLE_READ_CRC_PASSED:
            ShowStatus(QString::fromUtf8("状态：") + var2.toString());
            if (exporting) {
                m_exportWatchdog.start();
            }
            break;
        case PARAM_TABLE_READ_CRC_FAILED:
            if (exporting) {
                FailExport(QString::fromUtf8("状态：") + var2.toString() + QString::fromUtf8(",文件导出失败"));
            } else {
                ShowStatus(QString::fromUtf8("状态：") + var2.toString());
            }
            break;
        case PARAM_TABLE_READ_TABLE:
            // A table nobody here asked for has no file to go to.
            if (exporting) {
                ExportTable(var2);
            }
            break;
        default:
            break;
        }
    } else if (id == PAGE_MSG_PARAM_DATA && (current || m_request == Request::Read)) {
        if (m_request == Request::Read) {
            m_readGotData = true;
        }
        ShowParamData(var1);
    }
}

void ImuParameterConfigWidget::ClearValues()
{
    for (QLineEdit* edit : {ui->lineEditGyroBias_x, ui->lineEditGyroBias_y, ui->lineEditGyroBias_z,
                            ui->lineEditInstallAngle_x, ui->lineEditInstallAngle_y,
                            ui->lineEditInstallAngle_z, ui->lineEditCanId, ui->lineEditCoordinate}) {
        edit->clear();
    }
    for (QComboBox* box : {ui->comboBoxBaud, ui->comboBoxUpdate, ui->comboBoxGyroLpy,
                           ui->comboBoxAccelLpf, ui->comboBoxGyroBias, ui->combo_box_stream_status}) {
        box->setCurrentIndex(0);
    }
}

void ImuParameterConfigWidget::ForgetDevice()
{
    ClearValues();
    m_readGotData = false;
    // A request still running is ended by the worker with its own failure
    // text, which comes after this.
    ui->label_status->clear();
}

void ImuParameterConfigWidget::ShowParamData(const QVariant& var1)
{
    ImuParamData data{};
    if (var1.canConvert<ImuParamData>()) {
        data = var1.value<ImuParamData>();
    }

    const std::optional<int> stream = DeviceValueToInt(data.STREAM_MODE1);
    if (stream && *stream == static_cast<int>(kStreamAhrs)) {
        ui->combo_box_stream_status->setCurrentIndex(STREAM_AHRS);
    } else if (stream && *stream == static_cast<int>(kStreamCommandMode)) {
        ui->combo_box_stream_status->setCurrentIndex(STREAM_COMMAND);
    } else {
        ui->combo_box_stream_status->setCurrentIndex(STREAM_OTHER);
    }

    CompareAndShow(ui->comboBoxBaud, data.BAUD_RATE);
    CompareAndShow(ui->comboBoxUpdate, data.IMU_ODR);

    const std::optional<int> filter = DeviceValueToInt(data.LP_CONFIG_REG);
    if (filter) {
        const int gyroIndex = (*filter & 0x0F) + 1;
        const int accelIndex = ((*filter & 0xFF) >> 4) + 1;
        // An index past the last item leaves the combo without a current item.
        ui->comboBoxGyroLpy->setCurrentIndex(gyroIndex < ui->comboBoxGyroLpy->count() ? gyroIndex : -1);
        ui->comboBoxAccelLpf->setCurrentIndex(accelIndex < ui->comboBoxAccelLpf->count() ? accelIndex : -1);
    } else {
        ui->comboBoxGyroLpy->setCurrentIndex(0);
        ui->comboBoxAccelLpf->setCurrentIndex(0);
    }

    const std::optional<int> gyroBias = DeviceValueToInt(data.auto_gyro_bias_delete);
    if (!gyroBias) {
        ui->comboBoxGyroBias->setCurrentIndex(GYRO_BIAS_NA);
    } else if (*gyroBias == static_cast<int>(kGyroBiasOff)) {
        ui->comboBoxGyroBias->setCurrentIndex(GYRO_BIAS_OFF);
    } else if (*gyroBias == static_cast<int>(kGyroBiasOn)) {
        ui->comboBoxGyroBias->setCurrentIndex(GYRO_BIAS_ON);
    } else {
        ui->comboBoxGyroBias->setCurrentIndex(*gyroBias < ui->comboBoxGyroBias->count() ? *gyroBias : -1);
    }

    ui->lineEditGyroBias_x->setText(NumberText(data.GYRO_BIAS_X));
    ui->lineEditGyroBias_y->setText(NumberText(data.GYRO_BIAS_Y));
    ui->lineEditGyroBias_z->setText(NumberText(data.GYRO_BIAS_Z));
    ui->lineEditInstallAngle_x->setText(NumberText(data.INSTALL_ERR_ALPHA));
    ui->lineEditInstallAngle_y->setText(NumberText(data.INSTALL_ERR_BEAT));
    ui->lineEditInstallAngle_z->setText(NumberText(data.INSTALL_ERR_GAMA));
    ui->lineEditCanId->setText(NumberText(data.CAN_ID));
    ui->widget_coord_param_set_customLayout->setCode(data.imu_orientation);
}

void ImuParameterConfigWidget::on_btn_export_param_clicked()
{
    if (!RequestAllowed()) {
        return;
    }
    CheckConnection();
    const QString folder = DialogSeam::GetExistingDirectory(
        this, "选择保存路径", QDir::homePath(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty()) {
        return;
    }
    const QString path = ParamCsv::ExportFileName(folder, GetCurrentDateTime("yyyy-MM-dd-hh-mm-ss"));
    if (m_exportFile.isOpen()) {
        m_exportFile.close();
    }
    m_exportFile.setFileName(path);
    if (!m_exportFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        // Reported when the table arrives and the write fails.
        LOG_DEBUG() << "导出文件打开失败" << path << m_exportFile.errorString();
    }
    ShowStatus(kStatusExporting);
    StartRequest(Request::Export);
    m_exportWatchdog.start();
    SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_PARAM_TABLE,
                                                           QVariant(static_cast<int>(PARAM_TABLE_READ)),
                                                           QVariant(QString("")));
}

void ImuParameterConfigWidget::ExportTable(const QVariant& var2)
{
    const QMap<unsigned int, float> table = var2.value<QMap<unsigned int, float>>();
    ShowStatus("状态：参数正在导出中.....");
    QString error;
    if (!WriteCsvFile(&m_exportFile, ParamCsv::BuildExportRows(table), &error)
        || !CloseCsvFile(&m_exportFile, &error)) {
        LOG_INFO() << error;
        // The folder alone rarely says what went wrong: the file and the
        // system's reason follow.
        FailExport(QString::fromUtf8("状态：文件导出失败,请检查保存路径，") + error);
        return;
    }
    EndRequest();
    ShowStatus(QString::fromUtf8("状态：文件导出成功,导出路径") + m_exportFile.fileName());
}

void ImuParameterConfigWidget::FailExport(const QString& status)
{
    // Nothing was exported: no empty or partial file stays behind.
    if (m_exportFile.isOpen()) {
        m_exportFile.close();
    }
    if (!m_exportFile.fileName().isEmpty() && m_exportFile.exists() && !m_exportFile.remove()) {
        LOG_INFO() << "未完成的导出文件无法删除" << m_exportFile.fileName() << m_exportFile.errorString();
    }
    EndRequest();
    ShowStatus(status);
}

void ImuParameterConfigWidget::slot_export_watchdog()
{
    if (m_request == Request::Export) {
        FailExport(QString::fromUtf8("状态：文件导出失败,设备无应答"));
    }
}

void ImuParameterConfigWidget::on_btn_open_config_path_clicked()
{
    const QString path = DialogSeam::GetOpenFileName(this, "选择配置文件", m_preConfigPath,
                                                     "文件(*.txt *.csv);;All files(*.*)");
    if (!path.isEmpty()) {
        ui->lineEdit_config_path->setText(path);
    }
}

void ImuParameterConfigWidget::on_btn_import_config_clicked()
{
    LOG_DEBUG() << "一键导入配置";
    CheckConnection();
    const QString path = ui->lineEdit_config_path->text();
    if (path.isEmpty()) {
        DialogSeam::ShowCritical(this, "错误", "配置文件路径不能为空！！！");
        return;
    }
    const int slash = path.lastIndexOf('/');
    m_preConfigPath = slash >= 0 ? path.left(slash) : path;
    SettingManager::GetInstance()->SetPreSaveParamTableConfigPath(m_preConfigPath);

    QMap<QString, float> params;
    QString error;
    if (!ReadCsv(path, params, &error)) {
        // Refused whole: nothing the user has not seen named goes to a device.
        DialogSeam::ShowWarning(this, "警告", error);
        return;
    }
    if (params.isEmpty()) {
        DialogSeam::ShowWarning(this, "警告", "配置文件格式不正确");
        return;
    }
    m_setPromptDialog->SetParams(params);
    m_setPromptDialog->show();
}

bool ImuParameterConfigWidget::ReadCsv(const QString& path, QMap<QString, float>& out, QString* error)
{
    return ParamCsv::ReadImportFile(path, out, error);
}
