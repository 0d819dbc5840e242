#ifndef FIRMWAREUPGRADEWIDGET_H
#define FIRMWAREUPGRADEWIDGET_H

#include <QFile>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <memory>

#include "widgets/general/UpLoadData.h"

class AutoResizer;
class FirmwareCipher;
class QResizeEvent;

namespace Ui {
class FirmwareUpgradeWidget;
}

// Tool page "固件升级": picks a firmware file and an upgrade mode, starts or
// cancels an upgrade of the connected device and follows its progress. The
// upgrade itself runs in the engine on the device worker thread; the page
// starts it with request 7 and hears back through answers 809 and 810.
class FirmwareUpgradeWidget : public QWidget
{
    Q_OBJECT
public:
    explicit FirmwareUpgradeWidget(QWidget* parent = nullptr);
    ~FirmwareUpgradeWidget() override;

    // Image length a CAN-batch firmware's CRC covers: shorter images are
    // padded with 0xFF up to it, as the device's flash is.
    static constexpr unsigned int kCrcImageSpan = 245760;

    // CRC-32 (initial 0) of the deciphered image of a ".firmware" file,
    // padded with 0xFF up to kCrcImageSpan, in decimal. Empty when the
    // file cannot be read.
    QString InvCipherFile(QString path);
    // The name a CAN-batch upgrade expects for the file at path: the path up
    // to the first "." of its file name, "#CRC", the CRC, ".firmware".
    static QString CrcFileName(const QString& path, const QString& crc);

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void on_pushButton_clicked();
    void on_btn_update_clicked();
    void slot_display_updata_data(int id, QVariant var1, QVariant var2);
    void on_btn_crypt_open_file_clicked();
    void on_btn_crypt_clicked();
    void on_btn_crc_open_file_clicked();
    void on_btn_crc_clicked();
    void ResetCurrentPage();
    void on_checkBox_usb_to_can_ourself_updata_clicked(bool checked);
    void on_btn_set_usb_o_can_baud_clicked();
    void on_btn_get_message_clicked();
    void slot_change_sub_widget(QString class_name, int index);

private:
    void InitWidget();
    void InitAutoResize();
    void HandleProgress(const QVariant& var1, const QVariant& var2);
    void HandleDeviceCountQuestion();
    void HandleFirmwareInfo(const QVariant& var1);
    static QString FolderOf(const QString& path);
    QString ProposedCryptName() const;

    QString m_firmware_dir;
    QString m_save_crypt_dir;
    QString m_crypt_dir;
    QString m_crypt_file_path;
    QString m_crypt_save_file;
    QString m_crc_dir;
    QString m_crc_file_path;
    QFile m_firmware_file;
    std::unique_ptr<FirmwareCipher> m_key_exp;
    UpLoadData m_upload_data;
    Ui::FirmwareUpgradeWidget* ui;
    QString m_last_prompt;
    std::unique_ptr<AutoResizer> m_auto_resizer;
};

#endif // FIRMWAREUPGRADEWIDGET_H
