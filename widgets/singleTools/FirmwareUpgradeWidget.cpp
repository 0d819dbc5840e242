#include "widgets/singleTools/FirmwareUpgradeWidget.h"
#include "ui_FirmwareUpgradeWidget.h"

#include <QDate>
#include <QFileInfo>
#include <QMessageBox>
#include <QResizeEvent>

#include "commom/CheckedFile.h"
#include "commom/CommonFunction.h"
#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "controls/AutoResizer.h"
#include "manager/DisplayWidgetsManager.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "manager/SettingManager.h"
#include "widgets/general/FirmwareCipher.h"
#include "widgets/general/UpdataSoftware.h"
#include "widgets/general/UpgradeProcessInformation.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"
#include "workerThread/SerialPortManager.h"

namespace {
const char* const kUpgradeCaption = "升级";
const char* const kCancelCaption = "取消升级";

// A NUL-terminated Latin-1 text in a field of fixed width, never read past
// the field.
QString FieldText(const char* field, int width)
{
    int n = 0;
    while (n < width && field[n] != '\0')
        ++n;
    return QString::fromLatin1(field, n);
}
} // namespace

FirmwareUpgradeWidget::FirmwareUpgradeWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::FirmwareUpgradeWidget)
{
    ui->setupUi(this);
    setObjectName("FirmwareUpgradeWidget");
    setWindowTitle("固件升级");
    InitWidget();
    ui->label_prompt->hide();

    connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
            &FirmwareUpgradeWidget::slot_display_updata_data);
    connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalResetPage, this,
            &FirmwareUpgradeWidget::ResetCurrentPage);
    connect(DisplayWidgetsManager::GetInstance(), &DisplayWidgetsManager::SignalChangeSubWidget, this,
            &FirmwareUpgradeWidget::slot_change_sub_widget);

    m_key_exp = FirmwareCipher::WithProgramKey();

    SettingManager* settings = SettingManager::GetInstance();
    const QString cryptPath = settings->GetPreCryptPath();
    const QString crcPath = settings->GetPreCrcPath();
    m_crypt_dir = FolderOf(cryptPath);
    m_crc_dir = FolderOf(crcPath);
    m_save_crypt_dir = FolderOf(settings->GetPreSaveCryptPath());
    ui->lineEdit_filePath_crypt->setText(cryptPath);
    ui->lineEdit_filePath_crc->setText(crcPath);
    m_firmware_dir = settings->GetPreSaveFirmwarePath();

    InitAutoResize();
}

FirmwareUpgradeWidget::~FirmwareUpgradeWidget()
{
    m_auto_resizer.reset();
    delete ui;
}

QString FirmwareUpgradeWidget::FolderOf(const QString& path)
{
    const int slash = path.lastIndexOf('/');
    return slash < 0 ? path : path.left(slash);
}

void FirmwareUpgradeWidget::InitWidget()
{
    ui->comboBox_usb_to_can_baud->addItems({"1Mbps", "500Kbps", "250Kbps"});
    ui->comboBox_usb_to_can_baud->setMaxVisibleItems(35);
    ui->textEdit_firmware_info->setStyleSheet("background-color: rgb(255, 255, 255);");
    ui->btn_set_usb_o_can_baud->hide();
    ui->comboBox_usb_to_can_baud->hide();
    ui->label_3->hide();
}

void FirmwareUpgradeWidget::InitAutoResize()
{
    m_auto_resizer.reset(new AutoResizer(this, width(), height()));
    m_auto_resizer->setAutoResizeFlag(AutoResizer::INCLUDE_LABEL | AutoResizer::INCLUDE_BUTTON
                                      | AutoResizer::INCLUDE_EDITOR | AutoResizer::INCLUDE_COMBOBOX);
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui->stackedWidget, ui->upgradeProgressBar, ui->textEdit, ui->btn_serial_upload,
             ui->btn_ahrs_batch_updata, ui->btn_vorqa5_updata, ui->groupBox_4, ui->groupBox_5,
             ui->cryptProgressBar, ui->textEdit_filePath_crc_calculated, ui->textEdit_firmware_info})
        m_auto_resizer->addAutoResizeItem(w);
    m_auto_resizer->doneAllResizeItem();
}

void FirmwareUpgradeWidget::resizeEvent(QResizeEvent* event)
{
    if (m_auto_resizer)
        m_auto_resizer->doAutoResize();
    QWidget::resizeEvent(event);
}

void FirmwareUpgradeWidget::slot_change_sub_widget(QString class_name, int index)
{
    if (class_name != "FirmwareUpgradeWidget")
        return;
    if (index >= 0 && index < ui->stackedWidget->count())
        ui->stackedWidget->setCurrentIndex(index);
}

void FirmwareUpgradeWidget::on_pushButton_clicked()
{
    const QString path = DialogSeam::GetOpenFileName(this, "open file", m_firmware_dir,
                                                     "Firmware Files (*.firmware)");
    if (!path.isEmpty())
        ui->lineEdit->setText(path);
}

void FirmwareUpgradeWidget::on_checkBox_usb_to_can_ourself_updata_clicked(bool checked)
{
    m_upload_data.adapterFlag = checked ? 1 : 0;
    LOG_DEBUG() << "checked" << (checked ? "true" : "false");
}

void FirmwareUpgradeWidget::on_btn_update_clicked()
{
    if (!g_serial_is_connected) {
        DialogSeam::ShowInformation(this, "提示", "请连接串口");
        return;
    }

    if (ui->btn_update->text() == kCancelCaption) {
        g_cancelUpgradeFlag = true;
        g_is_running_upgrade = false;
        if (SerialPortManager::GetInstance()->GetImuWorker() == nullptr) {
            ui->label_upgrade->setText("升级结束：");
            ui->label_prompt->clear();
            ui->textEdit->clear();
            ui->btn_update->setText(kUpgradeCaption);
        } else {
            ui->label_prompt->setText("正在取消升级...");
            ui->textEdit->append("正在取消升级...");
        }
        return;
    }

    g_cancelUpgradeFlag = false;
    ui->label_upgrade->setText("升级进度：");
    ui->upgradeProgressBar->setValue(0);
    m_upload_data.baud = 115200;
    m_upload_data.path = ui->lineEdit->text();

    if (m_upload_data.path.isEmpty()) {
        DialogSeam::ShowInformation(this, "提示", "请打开文件再升级");
        return;
    }

    m_firmware_dir = FolderOf(m_upload_data.path);
    SettingManager::GetInstance()->SetPreSaveFirmwarePath(m_firmware_dir);

    if (m_upload_data.adapterFlag && !ui->btn_serial_upload->isChecked()) {
        DialogSeam::ShowInformation(this, "提示", "USB转CAN模块升级必须选择串口模式");
        return;
    }

    if (ui->btn_ahrs_batch_updata->isChecked()) {
        // The batch path takes the image's CRC from the file name; a name
        // that does not carry a whole, valid number is refused here, before
        // anything reaches a device.
        if (!UpdataSoftware::CrcFromFileName(m_upload_data.path, nullptr)) {
            DialogSeam::ShowWarning(this, "警告", "文件名格式不正确");
            return;
        }
        m_upload_data.mode = 0;
    } else if (ui->btn_serial_upload->isChecked()) {
        m_upload_data.mode = 1;
        if (!m_upload_data.path.endsWith(".firmware"))
            DialogSeam::ShowInformation(nullptr, "提示", "文件名不对");
    } else if (ui->btn_vorqa5_updata->isChecked()) {
        m_upload_data.mode = 2;
        if (!m_upload_data.path.endsWith(".firmware"))
            DialogSeam::ShowInformation(nullptr, "提示", "文件名不对");
    }

    SendDataHandleManager::GetInstance()->SendMessageToIMU(
        IMU_MSG_FIRMWARE_UPGRADE, QVariant::fromValue(m_upload_data), QVariant());

    ui->textEdit->clear();
    ui->label_prompt->setText("等待升级...");
    ui->textEdit->append("等待升级...");
    ui->btn_update->setText(kCancelCaption);
    g_is_running_upgrade = true;
}

void FirmwareUpgradeWidget::on_btn_set_usb_o_can_baud_clicked()
{
    if (!g_serial_is_connected) {
        DialogSeam::ShowInformation(this, "提示", "请连接串口");
        return;
    }
    switch (ui->comboBox_usb_to_can_baud->currentIndex()) {
    case 1: m_upload_data.baud = 500000; break;
    case 2: m_upload_data.baud = 250000; break;
    default: m_upload_data.baud = 1000000; break;
    }
    m_upload_data.mode = 3;
    SendDataHandleManager::GetInstance()->SendMessageToIMU(
        IMU_MSG_FIRMWARE_UPGRADE, QVariant::fromValue(m_upload_data), QVariant());
}

void FirmwareUpgradeWidget::on_btn_get_message_clicked()
{
    if (!g_communicate_with_serial_flag)
        DialogSeam::ShowCritical(this, "错误", "未成功连接设备");
    LOG_DEBUG() << "获取信息";
    ui->textEdit_firmware_info->clear();
    SendDataHandleManager* bus = SendDataHandleManager::GetInstance();
    bus->SendMessageToIMU(IMU_MSG_COMMAND_LIST,
                          QVariant(QList<QVariant>{3, 100, 0, 4660, 43981, 100, 200}), QVariant(QString()));
    bus->SendMessageToIMU(IMU_MSG_COMMAND_LIST,
                          QVariant(QList<QVariant>{31000, 100, 200, 300, 400, 500, 600}), QVariant(QString()));
}

// ---- File tools ---------------------------------------------------------------------

void FirmwareUpgradeWidget::on_btn_crypt_open_file_clicked()
{
    m_crypt_file_path = DialogSeam::GetOpenFileName(this, "打开待加密文件", m_crypt_dir, "bin Files (*.bin)");
    if (m_crypt_file_path.isEmpty())
        return;
    ui->lineEdit_filePath_crypt->setText(m_crypt_file_path);
    LOG_DEBUG() << "m_crypt_file_path" << m_crypt_file_path;
    SettingManager::GetInstance()->SetPreCryptPath(m_crypt_file_path);
    m_crypt_dir = FolderOf(m_crypt_file_path);
}

QString FirmwareUpgradeWidget::ProposedCryptName() const
{
    const QString name = QDate::currentDate().toString("yyyyMMdd") + "-imu";
    return m_save_crypt_dir.isEmpty() ? name : m_save_crypt_dir + "/" + name;
}

void FirmwareUpgradeWidget::on_btn_crypt_clicked()
{
    // The box is what the user sees: a remembered or typed path is read as
    // shown, not only one picked in this session.
    const QString source_path = ui->lineEdit_filePath_crypt->text();
    if (source_path.isEmpty())
        return;
    m_crypt_file_path = source_path;

    m_crypt_save_file = DialogSeam::GetSaveFileName(this, "保存文件", ProposedCryptName(), "(*.firmware)");
    if (m_crypt_save_file.isEmpty())
        return;
    // The upgrade takes only ".firmware" files: a name chosen without it
    // gets it. The dialog asked about the name as typed, so a file already
    // under the completed name is replaced only when the user says so.
    if (!m_crypt_save_file.endsWith(".firmware")) {
        m_crypt_save_file += ".firmware";
        if (QFileInfo::exists(m_crypt_save_file)
            && DialogSeam::AskWarningQuestion(this, "提示", m_crypt_save_file + " 已存在，是否覆盖？")
                != QMessageBox::Yes)
            return;
    }
    m_save_crypt_dir = FolderOf(m_crypt_save_file);
    SettingManager::GetInstance()->SetPreSaveCryptPath(m_save_crypt_dir + "/");

    ui->cryptProgressBar->setValue(0);
    LOG_DEBUG() << "fileNameFrom" << m_crypt_file_path;
    LOG_DEBUG() << "fileNameTo" << QFileInfo(m_crypt_save_file).absolutePath();

    auto cannotWrite = [this](const QString& reason) {
        DialogSeam::ShowWarning(this, "Recent Files",
                                QString("Cannot write file %1:\n%2.").arg(m_crypt_save_file, reason));
    };
    QFile source(m_crypt_file_path);
    if (!source.open(QIODevice::ReadOnly)) {
        DialogSeam::ShowWarning(this, "Recent Files",
                                QString("Cannot read file %1:\n%2.").arg(m_crypt_file_path, source.errorString()));
        return;
    }
    // A plain image is a few hundred KiB; it is enciphered in memory.
    const qint64 size = source.size();
    const QByteArray plain =
        size <= static_cast<qint64>(UpdataSoftware::kMaxFlashSize) ? source.readAll() : QByteArray();
    if (plain.size() != size) {
        DialogSeam::ShowWarning(this, "Recent Files",
                                QString("Cannot read file %1:\n%2.")
                                    .arg(m_crypt_file_path, size > static_cast<qint64>(UpdataSoftware::kMaxFlashSize)
                                                                ? QString("file too large")
                                                                : source.errorString()));
        return;
    }
    source.close();
    // Writing over the source would lose the image it came from.
    const QString source_canonical = QFileInfo(m_crypt_file_path).canonicalFilePath();
    if (!source_canonical.isEmpty() && QFileInfo(m_crypt_save_file).canonicalFilePath() == source_canonical) {
        cannotWrite("source file");
        return;
    }
    QByteArray enciphered;
    QString error;
    if (!m_key_exp || !m_key_exp->PassBytes(plain, &enciphered, FirmwareCipher::Encipher, &error)) {
        cannotWrite(error);
        return;
    }
    // Replaced whole or not at all: half a firmware file would be taken for
    // a whole one.
    if (!CheckedFile::WriteAll(m_crypt_save_file, enciphered, &error)) {
        cannotWrite(error);
        return;
    }
    ui->cryptProgressBar->setValue(100);
}

void FirmwareUpgradeWidget::on_btn_crc_open_file_clicked()
{
    m_crc_file_path = DialogSeam::GetOpenFileName(this, "打开文件", m_crc_dir, "firmware Files (*.firmware)");
    if (m_crc_file_path.isEmpty())
        return;
    ui->lineEdit_filePath_crc->setText(m_crc_file_path);
    LOG_DEBUG() << "m_crc_file_path" << m_crc_file_path;
    SettingManager::GetInstance()->SetPreCrcPath(m_crc_file_path);
}

QString FirmwareUpgradeWidget::InvCipherFile(QString path)
{
    m_firmware_file.close();
    m_firmware_file.setFileName(path);
    if (!m_firmware_file.open(QIODevice::ReadOnly))
        return QString();
    const qint64 size = m_firmware_file.size();
    // A firmware is a few hundred KiB; one far beyond any device's flash is
    // not read into memory.
    if (size > static_cast<qint64>(UpdataSoftware::kMaxFlashSize))
        return QString();
    const QByteArray enciphered = m_firmware_file.readAll();
    if (enciphered.size() != size)
        return QString();

    // Deciphered in memory: no copy of the image ever lands on disk.
    QByteArray plain;
    QString error;
    if (!m_key_exp || !m_key_exp->PassBytes(enciphered, &plain, FirmwareCipher::Decipher, &error)) {
        LOG_INFO() << "固件文件读取错误" << error;
        return QString();
    }
    LOG_DEBUG() << "file " << plain.size();
    const unsigned int sum = FirmwareCipher::PaddedImageCrc(plain, size, kCrcImageSpan);
    LOG_DEBUG() << "sum = " << sum;
    return QString::number(sum);
}

QString FirmwareUpgradeWidget::CrcFileName(const QString& path, const QString& crc)
{
    // Only the file name is cut at its first "."; a "." in a folder name
    // stays where it is.
    const int slash = path.lastIndexOf('/');
    const int dot = path.indexOf('.', slash + 1);
    const QString base = dot < 0 ? path : path.left(dot);
    return base + "#CRC" + crc + ".firmware";
}

void FirmwareUpgradeWidget::on_btn_crc_clicked()
{
    const QString path = ui->lineEdit_filePath_crc->text();
    if (path.isEmpty())
        return;
    const QString crc = InvCipherFile(path);
    if (crc.isEmpty()) {
        // No name for an image that could not be read: it would carry a CRC
        // no device will ever report.
        ui->textEdit_filePath_crc_calculated->clear();
        const QString reason = m_firmware_file.size() > static_cast<qint64>(UpdataSoftware::kMaxFlashSize)
            ? QString("file too large")
            : m_firmware_file.errorString();
        DialogSeam::ShowWarning(this, "Recent Files", QString("Cannot read file %1:\n%2.").arg(path, reason));
        return;
    }
    const QString name = CrcFileName(path, crc);
    LOG_DEBUG() << name;
    ui->textEdit_filePath_crc_calculated->setText(name);
}

void FirmwareUpgradeWidget::ResetCurrentPage()
{
    if (g_is_running_upgrade)
        on_btn_update_clicked();
}

void FirmwareUpgradeWidget::slot_display_updata_data(int id, QVariant var1, QVariant var2)
{
    switch (id) {
    case PAGE_MSG_UPGRADE_DEVICE_COUNT:
        HandleDeviceCountQuestion();
        break;
    case PAGE_MSG_UPGRADE_PROGRESS:
        HandleProgress(var1, var2);
        break;
    case PAGE_MSG_FIRMWARE_INFO:
        HandleFirmwareInfo(var1);
        break;
    default:
        break;
    }
}

void FirmwareUpgradeWidget::HandleDeviceCountQuestion()
{
    const QMessageBox::StandardButton answer = DialogSeam::AskQuestion(
        this, "warning", "设备数量是否符合实际", QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer == QMessageBox::No) {
        ui->btn_update->setText(kUpgradeCaption);
        // Idle with the caption: the engine's closing report of this refusal
        // is not acted on, as no cancel was asked for.
        g_is_running_upgrade = false;
        g_upgradedDevicesIsNormal = -1;
    } else {
        g_upgradedDevicesIsNormal = 1;
    }
}

void FirmwareUpgradeWidget::HandleProgress(const QVariant& var1, const QVariant& var2)
{
    const QString text = var2.toString();
    const UpgradeProcessInformation info = var1.canConvert<UpgradeProcessInformation>()
        ? var1.value<UpgradeProcessInformation>()
        : UpgradeProcessInformation();

    ui->label_prompt->setText(text);
    if (text != m_last_prompt)
        ui->textEdit->append(text);
    m_last_prompt = text;

    ui->upgradeProgressBar->setValue(qBound(0, static_cast<int>(info.percent), 100));
    ui->finished_number->setText("已升级数量：" + QString::number(info.finished));
    ui->not_finished_number->setText("未升级数量：" + QString::number(info.remaining));

    if (info.percent == 100) {
        ui->label_upgrade->setText("升级结束：");
        ui->btn_update->setText(kUpgradeCaption);
        ui->label_prompt->clear();
        // Cleared before 812 goes out, so the connect widget disconnects
        // without asking whether to abort a running upgrade.
        g_is_running_upgrade = false;
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_DISCONNECT_SERIAL, QVariant(),
                                                                    QVariant());
        DialogSeam::ShowInformation(this, "提示", "全部升级成功");
    }

    switch (info.cancelType) {
    case CANCEL_UPGRADE_BY_USER:
        if (g_cancelUpgradeFlag) {
            LOG_DEBUG() << "升级已取消";
            ui->label_prompt->clear();
            ui->btn_update->setText(kUpgradeCaption);
            ui->label_upgrade->setText("升级结束：");
            g_is_running_upgrade = false;
        }
        break;
    case CANCEL_UPGRADE_FAILED:
        ui->label_upgrade->setText("升级结束：");
        ui->btn_update->setText(kUpgradeCaption);
        DialogSeam::ShowInformation(this, "提示", "升级失败");
        g_is_running_upgrade = false;
        break;
    default:
        break;
    }
}

void FirmwareUpgradeWidget::HandleFirmwareInfo(const QVariant& var1)
{
    FirmwareInfoPayload info{};
    if (var1.canConvert<FirmwareInfoPayload>())
        info = var1.value<FirmwareInfoPayload>();
    QString text;
    text += QString::number(info.info0) + "\n";
    text += QString::number(info.info1) + "\n";
    text += Int32toAscii(info.info2) + "\n";
    text += QString::number(info.info3) + QString::number(info.info4) + QString::number(info.info5) + "\n";
    text += FieldText(info.text0, sizeof(info.text0)) + "," + FieldText(info.text1, sizeof(info.text1)) + "\n";
    text += FieldText(info.text2, sizeof(info.text2));
    ui->textEdit_firmware_info->append(text);
}
