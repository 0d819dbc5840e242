#include "widgets/singleTools/parameterConfigPage/SetPromptDialog.h"

#include "ui_SetPromptDialog.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QPointer>

#include "commom/CommonFunction.h"
#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "widgets/singleTools/parameterConfigPage/ParamNameTable.h"
#include "workerThread/DeviceFrames.h"
#include "workerThread/MessageIds.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThread.h"

namespace {

// Value of g_param_set_success_flag that no acknowledgement carries.
constexpr int kNoAck = -1;
// Acknowledged value of a store to flash.
constexpr int kStoreAck = 1;

void ExitIfClosing()
{
    if (g_app_is_exit) {
        ForceExitApplication();
    }
}

} // namespace

SetPromptDialog::SetPromptDialog(QWidget* parent)
    : QDialog(parent), ui(new Ui::SetPromptDialog), m_nameTable(ParamNameTable::BuildMap())
{
    ui->setupUi(this);
    connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage,
            this, &SetPromptDialog::ShowInfo, Qt::QueuedConnection);
}

SetPromptDialog::~SetPromptDialog() = default;

void SetPromptDialog::SetParams(QMap<QString, float> params)
{
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        const auto found = m_nameTable.constFind(it.key());
        if (found == m_nameTable.constEnd()) {
            continue;
        }
        m_params.insert(found.value(), it.value());
    }
}

void SetPromptDialog::ShowStatus(const QString& text)
{
    ui->label_status->setText(text);
}

void SetPromptDialog::on_btn_set_clicked()
{
    LOG_DEBUG() << "设置";
    if (!g_communicate_with_serial_flag) {
        DialogSeam::ShowCritical(this, "错误", "未成功连接设备");
    }
    if (ui->btn_set->text() == QString::fromUtf8("设置")) {
        if (m_running) {
            // The cancelled run has not returned yet (it is inside a wait);
            // a second run on top of it would send every parameter twice.
            LOG_DEBUG() << "上一次设置尚未结束";
            return;
        }
        ui->btn_set->setText("取消");
        m_cancel = false;
        StartSetParam();
    } else {
        ui->btn_set->setText("设置");
        m_cancel = true;
        m_armed = true;
        m_doneCount = 0;
    }
}

void SetPromptDialog::Ask(const QString& text)
{
    const QMessageBox::StandardButton answer = DialogSeam::AskWarningQuestion(this, "警告", text);
    if (answer == QMessageBox::No) {
        m_armed = false;
        m_lastSuccessTime = GetMonotonicTimeInMs();
    } else {
        m_armed = true;
    }
}

void SetPromptDialog::StartSetParam()
{
    // The dialog may be deleted while a wait below runs the event loop.
    QPointer<SetPromptDialog> self(this);
    g_param_set_success_flag = kNoAck;
    ui->progressBar->setValue(0);
    if (m_cancel) {
        return;
    }
    m_running = true;

    while (true) {
        ExitIfClosing();
        while (!m_armed) {
            ExitIfClosing();
            MSleepNonBlock(kResendMs);
            if (!self) {
                return;
            }
            if (m_cancel) {
                m_running = false;
                return;
            }
        }

        ui->progressBar->setValue(0);
        m_armed = false;
        ShowStatus(QString::fromUtf8("状态：正在设置第%1个").arg(m_deviceNumber));
        // A pass belongs to the connection it starts on: once that ends,
        // nothing more of it is sent, not even to a device connected since.
        const QPointer<WorkerThread> worker = SerialPortManager::GetInstance()->GetImuWorker();
        const quint64 link = worker ? worker->CurrentLink() : 0;
        const auto linkAlive = [&worker, link]() {
            WorkerThread* now = SerialPortManager::GetInstance()->GetImuWorker();
            return now != nullptr && now == worker.data() && now->CurrentLink() == link && !now->IsStopping();
        };
        // A retry on an ended connection cannot succeed: the run waits for
        // the next device (or a cancel) instead of asking.
        const auto endedWithLink = [this]() {
            LOG_INFO() << "设备连接已断开,第" << m_deviceNumber << "个设置未完成";
            ShowStatus(QString::fromUtf8("状态：第%1个设置未完成（设备连接已断开）").arg(m_deviceNumber));
        };

        const int total = m_params.size();
        for (auto it = m_params.cbegin(); it != m_params.cend(); ++it) {
            const int id = it.key();
            const float value = it.value();
            LOG_DEBUG() << QString::number(static_cast<double>(value), 'f', 6);
            const QList<QVariant> command{static_cast<int>(CMD_SET_PARAM), value, 0.0f,
                                          static_cast<unsigned int>(id), 0u, 0, 0};
            // Each parameter waits for its own acknowledgement: whatever an
            // earlier parameter or device left in the flag must not count.
            g_param_set_success_flag = kNoAck;
            const qint64 deadline = GetMonotonicTimeInMs() + kAckTimeoutMs;
            bool acknowledged = false;
            while (true) {
                const qint64 now = GetMonotonicTimeInMs();
                const int flag = g_param_set_success_flag;
                if (now > deadline) {
                    acknowledged = (flag == id);
                    break;
                }
                if (flag == id) {
                    acknowledged = true;
                    break;
                }
                if (m_cancel || !linkAlive()) {
                    break;
                }
                ExitIfClosing();
                SerialPortManager::GetInstance()->SendCommand(command);
                MSleepNonBlock(kResendMs);
                if (!self) {
                    return;
                }
            }
            if (acknowledged) {
                ++m_doneCount;
                ui->progressBar->setValue(total > 0 ? m_doneCount * 100 / total : 0);
            }
        }

        const int done = m_doneCount;
        m_doneCount = 0;
        if (!linkAlive()) {
            endedWithLink();
        } else if (done != total) {
            Ask("未能全部设置成功,是否重试");
        } else {
            g_param_set_success_flag = 0;
            const QList<QVariant> store{static_cast<int>(CMD_SAVE_FLASH), 0.0f, 0.0f, 0u, 0u, 0, 0};
            SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_COMMAND_LIST, QVariant(store),
                                                                   QVariant(QString("")));
            const qint64 deadline = GetMonotonicTimeInMs() + kAckTimeoutMs;
            while (g_param_set_success_flag != kStoreAck && GetMonotonicTimeInMs() <= deadline && linkAlive()) {
                ExitIfClosing();
                MSleepNonBlock(kStorePollMs);
                if (!self) {
                    return;
                }
            }
            if (g_param_set_success_flag == kStoreAck) {
                ShowStatus(QString::fromUtf8("状态：第%1个设置成功").arg(m_deviceNumber));
                m_armed = false;
                ++m_deviceNumber;
                m_lastSuccessTime = GetMonotonicTimeInMs();
            } else if (!linkAlive()) {
                endedWithLink();
            } else {
                LOG_DEBUG() << "存储参数失败";
                Ask("存储参数失败,是否重试");
            }
        }
        if (!self) {
            return;
        }
        if (m_cancel) {
            m_running = false;
            return;
        }
    }
}

void SetPromptDialog::ShowInfo(int id, QVariant var1, QVariant)
{
    if (id != PAGE_MSG_PARAM_RAW_DATA) {
        return;
    }
    QByteArray bytes = var1.toByteArray();
    const int zero = bytes.indexOf('\0');
    if (zero >= 0) {
        bytes.truncate(zero);
    }
    if (!QString::fromUtf8(bytes).contains(QLatin1String(LoaderBanner()))) {
        return;
    }
    if (!m_armed && GetMonotonicTimeInMs() - m_lastSuccessTime > kRearmQuietMs) {
        m_armed = true;
    }
}

void SetPromptDialog::ResetRun()
{
    m_cancel = true;
    m_armed = true;
    m_deviceNumber = 1;
    m_doneCount = 0;
    ui->btn_set->setText("设置");
    ShowStatus("状态：N/A");
}

void SetPromptDialog::closeEvent(QCloseEvent* event)
{
    ResetRun();
    QDialog::closeEvent(event);
}

void SetPromptDialog::reject()
{
    ResetRun();
    QDialog::reject();
}
