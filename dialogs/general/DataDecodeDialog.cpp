#include "dialogs/general/DataDecodeDialog.h"

#include "ui_DataDecodeDialog.h"

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "dialogs/general/WorkerThreadDecode.h"
#include "manager/SettingManager.h"

#include <QCloseEvent>
#include <QDir>
#include <QLayout>
#include <QMetaType>
#include <QThread>

namespace {

const char* const kEnabledStyle =
    "QPushButton{color:rgb(0, 85, 255);border:1px solid rgb(122, 122, 122);border-radius:5px;"
    "background:transparent;}"
    "QPushButton:hover{color:rgb(0, 170, 0);}"
    "QPushButton:pressed{background-color:rgba(0, 170, 255, 30);}";

const char* const kDisabledStyle =
    "QPushButton{color:rgb(200, 200, 200);border:1px solid rgb(200, 200, 200);border-radius:5px;"
    "background:transparent;}"
    "QPushButton:hover{color:rgb(200, 200, 200);}"
    "QPushButton:pressed{background-color:rgb(200, 200, 200);}";

QString UpToLastSlash(const QString& path)
{
    const int slash = path.lastIndexOf('/');
    return slash < 0 ? path : path.left(slash);
}

} // namespace

DataDecodeDialog::DataDecodeDialog(QWidget* parent)
    : CustomDialog(parent)
    , ui(new Ui::DataDecodeDialog)
{
    qRegisterMetaType<uint8_t>("uint8_t");
    ui->setupUi(this);
    initWidget();
    ui->buttonDest->setStyleSheet(QString());
    ui->pushButton_openfile_for_decode->setStyleSheet(QString());
    m_rememberedFolder = SettingManager::GetInstance()->GetPreSaveParamTableConfigPath();
}

DataDecodeDialog::~DataDecodeDialog()
{
    StopAndDropWorker(true);
    delete ui;
}

void DataDecodeDialog::initWidget()
{
    ui->comboBoxDecode->clear();
    ui->comboBoxDecode->addItems({"AHRS", "9IMU/33IMU"});
    ui->comboBoxDecode->setCurrentIndex(0);
    ui->progressBar->setValue(0);
}

bool DataDecodeDialog::IsWorkerRunning() const
{
    return m_thread && m_thread->isRunning();
}

void DataDecodeDialog::StopAndDropWorker(bool cancel)
{
    if (m_thread) {
        if (m_thread->isRunning()) {
            // A thread must not be destroyed while it runs. When the dialog
            // goes away mid-run the decoding stops at its next byte.
            if (cancel) {
                g_decode_exit = true;
            }
            m_thread->quit();
            m_thread->wait();
        }
    }
    delete m_worker;
    m_worker = nullptr;
    delete m_thread;
    m_thread = nullptr;
}

void DataDecodeDialog::SetEditButtonEnable(bool enable)
{
    const QString style = QString::fromUtf8(enable ? kEnabledStyle : kDisabledStyle);
    ui->pushButton_openfile_for_decode->setEnabled(enable);
    ui->buttonDecode->setEnabled(enable);
    ui->pushButton_openfile_for_decode->setStyleSheet(style);
    ui->buttonDecode->setStyleSheet(style);
}

void DataDecodeDialog::on_pushButton_openfile_for_decode_clicked()
{
    m_sourcePath = DialogSeam::GetOpenFileName(this, tr("打开数据文件"), m_rememberedFolder,
                                               tr("数据格式 (*.dat *.asc)"));
    ui->lineEditSrcPath->setText(m_sourcePath);
    m_destFolder = UpToLastSlash(m_sourcePath);
    ui->lineEditDestPath->setText(m_destFolder);
}

void DataDecodeDialog::on_buttonDest_clicked()
{
    m_destFolder = DialogSeam::GetExistingDirectory(this, QString::fromUtf8("选择文件夹"), QDir::homePath(),
                                                    QFileDialog::ShowDirsOnly);
    ui->lineEditDestPath->setText(m_destFolder);
}

void DataDecodeDialog::on_buttonDecode_clicked()
{
    ShowStatus(QString());
    if (g_serial_is_connected) {
        ShowStatus(QString::fromUtf8("请断开串口"));
        return;
    }
    if (m_sourcePath.isEmpty() || m_destFolder.isEmpty()) {
        DialogSeam::ShowWarning(this, QString::fromUtf8("提示"), QString::fromUtf8("源文件和保存路径不能为空"));
        return;
    }
    if (WorkerThreadDecode::IsDecodeRunning()) {
        // Another decode dialog still decodes (it may have been closed a
        // moment ago): clearing the cancel flag now would revive it.
        ShowStatus(QString::fromUtf8("已有解码正在进行，请稍后再试"));
        return;
    }
    g_decode_exit = false;

    // The folder of the file that is decoded, never text typed beside it.
    m_rememberedFolder = UpToLastSlash(m_sourcePath);
    SettingManager::GetInstance()->SetPreSaveParamTableConfigPath(m_rememberedFolder);

    // The previous decoding has ended (checked above); its thread may still
    // be winding down, and must not be cancelled: the flag is the new run's.
    StopAndDropWorker(false);
    m_thread = new QThread();
    m_worker = new WorkerThreadDecode();
    m_worker->moveToThread(m_thread);
    connect(m_worker, &WorkerThreadDecode::SignalExitThread, m_thread, &QThread::quit);
    connect(m_worker, &WorkerThreadDecode::SignalDeleteObjAndNewNext, m_thread, &QThread::quit);
    connect(m_worker, &WorkerThreadDecode::SignalDeleteObjAndNewNext, m_worker, &QObject::deleteLater);
    connect(m_worker, &WorkerThreadDecode::SignalDecodeProgressChanged, ui->progressBar, &QProgressBar::setValue);
    connect(this, &DataDecodeDialog::SignalFileDecode, m_worker, &WorkerThreadDecode::slot_do_file_decode);
    connect(m_worker, &WorkerThreadDecode::SignalLog, this, &DataDecodeDialog::slot_rev_log_from_worker);
    m_thread->start(QThread::InheritPriority);

    m_decodeType = ui->comboBoxDecode->currentText() == "AHRS" ? DECODE_AHRS : DECODE_IMU33;
    ShowStatus("N/A");
    emit SignalFileDecode(m_sourcePath, m_destFolder, m_decodeType);
    ui->progressBar->setValue(0);
    SetEditButtonEnable(false);
}

void DataDecodeDialog::slot_rev_log_from_worker(uint8_t label, QString str)
{
    if (label != 0) {
        SetEditButtonEnable(true);
    }
    ShowStatus(str);
}

void DataDecodeDialog::ShowStatus(const QString& text)
{
    ui->labelStatus->setText(text);
    // A failure names its file: the status wraps, and the dialog grows
    // downwards to show all of it.
    if (QLayout* grid = layout()) {
        grid->activate();
        const int needed = grid->totalHeightForWidth(width());
        if (needed > height()) {
            resize(width(), needed);
        }
    }
}

void DataDecodeDialog::closeEvent(QCloseEvent* event)
{
    g_decode_exit = true;
    CustomDialog::closeEvent(event);
}
