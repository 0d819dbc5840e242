#include "widgets/general/OpenSerialWidget.h"
#include "ui_OpenSerialWidget.h"

#include "commom/CommonFunction.h"
#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "manager/SettingManager.h"
#include "workerThread/MessageIds.h"
#include "workerThread/SerialPortManager.h"
#include "workerThread/WorkerThread.h"
#include "workerThread/WorkerThreadImu.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QFontMetrics>
#include <QListView>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QThread>
#include <QTimer>

namespace {

constexpr int kPortWatchIntervalMs = 1000;
constexpr int kSearchStepMs = 1500;
constexpr qint64 kClickDebounceMs = 124;

QString PortNameOf(const QString& entry)
{
    return entry.split("#").first().trimmed();
}

qint64 MonotonicNowMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid()) {
        clock.start();
    }
    return clock.elapsed();
}

} // namespace

OpenSerialWidget::OpenSerialWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::OpenSerialWidget), m_click_clock(&MonotonicNowMs)
{
    ui->setupUi(this);
    InitWidget();
    InitTimer();
    ui->comboBoxPort->installEventFilter(this);
    ui->comboBoxbaud->installEventFilter(this);

    RecvDataHandleManager* bus = RecvDataHandleManager::GetInstance();
    connect(bus, &RecvDataHandleManager::SignalCloseApp, this, &OpenSerialWidget::slot_clos_app);
    connect(bus, &RecvDataHandleManager::SignalSendMessageToPage, this, &OpenSerialWidget::slot_break_serail);
}

OpenSerialWidget::~OpenSerialWidget()
{
    // Normally the application's close has stopped the thread already; a
    // widget torn down without it must not leave a running thread behind.
    StopWorkerThread();
    delete m_port_watch_timer;
    m_port_watch_timer = nullptr;
    delete ui;
}

void OpenSerialWidget::SetClickClock(std::function<qint64()> clock)
{
    m_click_clock = clock ? std::move(clock) : std::function<qint64()>(&MonotonicNowMs);
}

bool OpenSerialWidget::IsConnected() const
{
    return ui->button_connect->property("isConnected").toBool();
}

void OpenSerialWidget::InitWidget()
{
    ui->comboBoxbaud->setView(new QListView(ui->comboBoxbaud));
    ui->comboBoxPort->setView(new QListView(ui->comboBoxPort));

    const QList<int> bauds = SerialPortManager::GetInstance()->GetSerialPortBauds();
    for (int baud : bauds) {
        ui->comboBoxbaud->addItem(QString::number(baud), baud);
    }
    ui->comboBoxbaud->addItem("Custom");
    ui->comboBoxbaud->addItem("Auto");
    m_baud_item_count = ui->comboBoxbaud->count();

    ui->comboBoxPort->addItems(SerialPortManager::GetInstance()->GetSerialPortNames());

    const int savedIndex = SettingManager::GetInstance()->GetBaudIndex();
    if (savedIndex >= 0 && savedIndex < ui->comboBoxbaud->count()) {
        ui->comboBoxbaud->setCurrentIndex(savedIndex);
    }
    // The "Custom" choice comes back with the rate that was connected with.
    if (ui->comboBoxbaud->currentIndex() == m_baud_item_count - 2) {
        ui->comboBoxbaud->setEditable(true);
        ui->comboBoxbaud->setEditText(SettingManager::GetInstance()->GetCustomBaud());
    }
    ui->button_connect->setProperty("isConnected", false);
}

void OpenSerialWidget::InitTimer()
{
    m_port_watch_timer = new QTimer(this);
    m_port_watch_timer->setObjectName(QStringLiteral("port_watch_timer"));
    connect(m_port_watch_timer, &QTimer::timeout, this, &OpenSerialWidget::PortWatch);
}

void OpenSerialWidget::InitFlag()
{
    g_communicate_with_serial_flag = false;
    g_param_table_req_running = false;
    g_is_running_upgrade = false;
    g_ahrs_file_recording = false;
    g_33imu_file_recording = false;
}

void OpenSerialWidget::ResetALLPage()
{
    // The device is gone: recordings end here, and the worker is told so
    // that it closes their files.
    const bool ahrsRecording = g_ahrs_file_recording.exchange(false);
    const bool imu33Recording = g_33imu_file_recording.exchange(false);
    if (ahrsRecording) {
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_RECORD_AHRS, QString(), QVariant());
    }
    if (imu33Recording) {
        SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_RECORD_IMU33, QString(), QVariant());
    }
    RecvDataHandleManager::GetInstance()->ResetPage();
}

bool OpenSerialWidget::isPositiveInteger(const QString& text)
{
    static const QRegularExpression pattern("^[1-9]\\d*$");
    return pattern.match(text).hasMatch();
}

void OpenSerialWidget::SetAdjustToContentOfComboBox(QComboBox* combo)
{
    if (combo == nullptr || combo->view() == nullptr) {
        return;
    }
    QAbstractItemView* view = combo->view();
    const QFontMetrics metrics(view->font());
    int widest = 0;
    for (int i = 0; i < combo->count(); ++i) {
        widest = qMax(widest, metrics.horizontalAdvance(combo->itemText(i)));
    }
    view->setFixedWidth(widest + 20 + view->verticalScrollBar()->depth());
}

void OpenSerialWidget::on_comboBoxbaud_currentIndexChanged(int index)
{
    ui->comboBoxbaud->setEditable(index == m_baud_item_count - 2);
}

void OpenSerialWidget::on_button_connect_clicked()
{
    ui->labelTip->clear();

    // While a search runs, any click ends it, whatever the combos show by now.
    if (m_auto_searching) {
        StopSearch();
        return;
    }

    if (g_is_running_upgrade) {
        const QMessageBox::StandardButton answer = DialogSeam::AskQuestion(
            this, "警告", "固件正在升级当中,是否断开连接", QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            return;
        }
        g_cancelUpgradeFlag = true;
    }

    // The connection globals are written only when a connection is really
    // made: a refused click or a disconnect leaves them describing the port
    // in use, which the port watch and the worker rely on.
    const QString portName = PortNameOf(ui->comboBoxPort->currentText());
    if (portName.isEmpty()) {
        DialogSeam::ShowInformation(this, "提示", "请选择串口号");
        return;
    }
    if (ui->comboBoxbaud->currentText().isEmpty()) {
        DialogSeam::ShowInformation(this, "提示", "请选择波特率");
        return;
    }

    const qint64 now = m_click_clock();
    if (m_click_seen && now - m_last_click_ms <= kClickDebounceMs) {
        return;
    }
    m_click_seen = true;
    m_last_click_ms = now;

    if (IsConnected()) {
        Disconnect();
    } else {
        Connect(portName);
    }
}

void OpenSerialWidget::Connect(const QString& portName)
{
    const QString text = ui->comboBoxbaud->currentText();
    if (ui->comboBoxbaud->currentIndex() == m_baud_item_count - 2) {
        if (!isPositiveInteger(text)) {
            DialogSeam::ShowWarning(nullptr, "警告", "请检查波特率是否为纯数字");
            return;
        }
        bool fits = false;
        const uint rate = text.toUInt(&fits);
        if (!fits || rate < 300) {
            DialogSeam::ShowWarning(nullptr, "警告", "波特率必须大于300");
            return;
        }
    }

    g_connection_serial_name = portName;
    InitFlag();

    if (text == "Auto") {
        AutoSearch();
        return;
    }

    g_connection_baud_rate = text;
    SerialPortManager::GetInstance()->SetCurrentPortBaud(ui->comboBoxbaud->currentData().toInt());
    SettingManager::GetInstance()->SetBaudIndex(ui->comboBoxbaud->currentIndex());
    if (ui->comboBoxbaud->currentIndex() == m_baud_item_count - 2) {
        SettingManager::GetInstance()->SetCustomBaud(text);
    }

    // Set before the open request: the worker reads it when it opens a
    // fresh port.
    g_serial_is_connected = true;
    if (m_work_ptr) {
        emit SignalOpenSerial();
    } else {
        ConnectToSerial();
    }
    LOG_INFO() << "打开串口";
}

void OpenSerialWidget::AutoSearch()
{
    const int rateCount = m_baud_item_count - 2;
    if (rateCount <= 0) {
        return;
    }
    const quint64 mySearch = ++m_search_serial;
    m_auto_searching = true;
    ui->button_connect->setText("断开");
    // Set before the first open: a worker made for this search reports a
    // fresh port as opened only while it is set, and the first rate of the
    // list must be heard like every other.
    g_serial_is_connected = true;

    bool answered = false;
    for (int i = 0; !g_communicate_with_serial_flag && m_auto_searching && !g_app_is_exit; ++i) {
        const QString rate = ui->comboBoxbaud->itemText(i % rateCount);
        g_connection_baud_rate = rate;
        ui->labelTip->setText("查询波特率" + rate);
        if (m_work_ptr) {
            emit SignalAutoConnectionSerial(true);
            LOG_DEBUG() << "send open serial signal";
        } else {
            ConnectToSerial();
        }

        // Clicks, page messages, the port watch and the application's
        // close are all handled inside this wait; a stop arrives that way.
        MSleepNonBlock(kSearchStepMs);

        if (mySearch != m_search_serial) {
            // Stopped, and a newer search has run (or runs) since: the
            // connection state is that search's business now.
            return;
        }
        if (!m_auto_searching || g_app_is_exit) {
            break;
        }
        if (g_communicate_with_serial_flag) {
            answered = true;
            break;
        }
        emit SignalAutoConnectionSerial(false);
    }

    m_auto_searching = false;
    if (!answered) {
        // Stopped, or the application is closing: the port is closed or
        // about to be, so nothing may take the link as connected.
        g_serial_is_connected = false;
        return;
    }

    g_serial_is_connected = true;
    const QList<int> bauds = SerialPortManager::GetInstance()->GetSerialPortBauds();
    const int found = g_connection_baud_rate.ToInt();
    for (int k = 0; k < bauds.size(); ++k) {
        if (bauds.at(k) == found) {
            LOG_DEBUG() << "auto 选择的波特率" << bauds.at(k);
            ui->comboBoxbaud->setCurrentIndex(k);
            ui->labelTip->clear();
        }
    }
    SettingManager::GetInstance()->SetBaudIndex(ui->comboBoxbaud->currentIndex());
    LOG_INFO() << "成功连接串口";
}

void OpenSerialWidget::StopSearch()
{
    m_auto_searching = false;
    // The port is being closed; nothing may take the link as up while the
    // stopped search still sits in its wait.
    g_serial_is_connected = false;
    emit SignalAutoConnectionSerial(false);
    LOG_DEBUG() << "send close serial signal";
}

void OpenSerialWidget::Disconnect()
{
    if (g_ahrs_file_recording) {
        DialogSeam::ShowWarning(this, "提示", "请关闭保存AHRS数据之后才能断开串口");
        return;
    }
    if (g_33imu_file_recording) {
        DialogSeam::ShowWarning(this, "提示", "请关闭保存数据之后才能断开串口");
        return;
    }

    RecvDataHandleManager* bus = RecvDataHandleManager::GetInstance();
    bus->SendMessageToPageSlot(PAGE_MSG_CONNECTION, false, ui->comboBoxbaud->currentData().toInt());
    emit SignalCloseSerial();
    LOG_DEBUG() << "send close serial signal";
    if (m_map_init_finish_widget.contains("AHRSDataWidget")) {
        bus->SendMessageToPageSlot(PAGE_MSG_AHRS_RECORD_STOPPED, QVariant(), QVariant());
    }
    InitFlag();
    g_serial_is_connected = false;
    // Whatever the hint said was about the link that is gone.
    ui->labelTip->clear();
    LOG_INFO() << "关闭串口";
}

void OpenSerialWidget::slot_update_serial_open_status(SerialState state)
{
    // Only reports of the live worker count. A report can still be queued
    // when its worker is gone: its sender is then compared, never used.
    WorkerThreadImu* worker = m_work_ptr.data();
    if (worker == nullptr || sender() != worker) {
        return;
    }
    LOG_DEBUG() << "SignalSerialIsOpen: " << static_cast<int>(state);

    const bool wasConnected = IsConnected();
    if (state == SERIAL_STATE_OPENED) {
        m_port_watch_timer->start(kPortWatchIntervalMs);
        SerialPortManager::GetInstance()->InsertImuWorker(worker, 0);
    } else if (state == SERIAL_STATE_OPEN_FAILED || state == SERIAL_STATE_CLOSED) {
        m_port_watch_timer->stop();
    }

    // A port that did not open is no connection, whatever the click hoped.
    if (state == SERIAL_STATE_OPEN_FAILED && !m_auto_searching) {
        g_serial_is_connected = false;
    }
    // A close nobody asked for: the device went away under an open port.
    const bool lost = state == SERIAL_STATE_CLOSED && wasConnected && g_serial_is_connected && !m_auto_searching &&
                      !g_app_is_exit;

    UpdateConnectStatus(state);
    emit SignalUpdateConnectStatueLable(state);

    if (lost) {
        HandlePortLost();
    }
}

void OpenSerialWidget::UpdateConnectStatus(SerialState state)
{
    if (state == SERIAL_STATE_OPEN_FAILED || state == SERIAL_STATE_CLOSED) {
        if (!(m_auto_searching && !g_communicate_with_serial_flag)) {
            ui->button_connect->setText("连接");
        }
        ui->button_connect->setProperty("isConnected", false);
        UpdateStyleSheet(qApp, ui->button_connect);
        if (state == SERIAL_STATE_OPEN_FAILED && !m_auto_searching) {
            DialogSeam::ShowWarning(this, "警告", "串口被占用或者已经损坏");
        }
        return;
    }
    ui->button_connect->setText("断开");
    ui->button_connect->setProperty("isConnected", true);
    UpdateStyleSheet(qApp, ui->button_connect);
}

void OpenSerialWidget::slot_break_serail(int id, QVariant var1, QVariant var2)
{
    Q_UNUSED(var1)
    Q_UNUSED(var2)
    if (id == PAGE_MSG_DISCONNECT_SERIAL) {
        on_button_connect_clicked();
    } else if (id == PAGE_MSG_VERSION && ui->labelTip->text() == VersionUnansweredText()) {
        // The device has answered after all.
        ui->labelTip->clear();
    }
}

QString OpenSerialWidget::VersionUnansweredText()
{
    return QString::fromUtf8("设备无应答,请检查波特率");
}

void OpenSerialWidget::slot_version_unanswered()
{
    // A report queued before a disconnect must not outlive it.
    if (sender() != m_work_ptr.data() || m_auto_searching || !IsConnected() || !g_serial_is_connected) {
        return;
    }
    // The link stays as the user chose; the user is told that nothing
    // answers on it.
    LOG_INFO() << "设备未应答版本请求" << g_connection_serial_name.Get() << g_connection_baud_rate.Get();
    ui->labelTip->setText(VersionUnansweredText());
}

void OpenSerialWidget::ConnectToSerial(int unused)
{
    Q_UNUSED(unused)
    StopWorkerThread();

    m_thread_ptr = new QThread();
    m_work_ptr = new WorkerThreadImu(nullptr);
    WorkerThreadImu* worker = m_work_ptr.data();
    SerialPortManager::GetInstance()->InsertImuWorker(worker, 0);

    connect(worker, &WorkerThread::SignalSerialIsOpen, this, &OpenSerialWidget::slot_update_serial_open_status);
    connect(worker, &WorkerThread::SignalVersionUnanswered, this, &OpenSerialWidget::slot_version_unanswered);
    connect(this, &OpenSerialWidget::SignalCloseSerial, worker, &WorkerThread::slot_close_serial_port);
    connect(this, &OpenSerialWidget::SignalOpenSerial, worker, &WorkerThread::slot_open_serial_port);
    connect(this, &OpenSerialWidget::SignalAutoConnectionSerial, worker,
            &WorkerThread::slot_auto_connection_serial_port);
    connect(m_thread_ptr, &QThread::started, worker, &WorkerThread::slot_open_serial_port);
    connect(m_thread_ptr, &QThread::finished, this,
            []() { LOG_DEBUG() << "(m_work_ptr m_thread_ptr)reset sucess"; });

    worker->moveToThread(m_thread_ptr);
    m_thread_ptr->start(QThread::InheritPriority);
}

void OpenSerialWidget::StopWorkerThread()
{
    // The worker owns the port and its timers, which live on the worker
    // thread: they are destroyed there, and only then does the thread quit.
    // The manager forgets the worker first, so nothing reaches it meanwhile.
    // A request may be waiting inside the worker: it is told to end at once
    // and the worker deletes itself only after that request has unwound.
    constexpr unsigned long kWorkerGoneMs = 5000;
    if (m_work_ptr) {
        SerialPortManager::GetInstance()->ClearWorker();
        WorkerThreadImu* worker = m_work_ptr.data();
        if (m_thread_ptr && m_thread_ptr->isRunning()) {
            worker->AbandonRequests();
            connect(worker, &QObject::destroyed, m_thread_ptr, &QThread::quit, Qt::DirectConnection);
            QMetaObject::invokeMethod(worker, &WorkerThread::slot_release, Qt::QueuedConnection);
            if (!m_thread_ptr->wait(kWorkerGoneMs)) {
                LOG_INFO() << "设备线程未按时结束";
                m_thread_ptr->quit();
                m_thread_ptr->wait();
            }
        }
        // Still there when its thread never ran or ended before it: no
        // event loop runs for it any more.
        delete m_work_ptr.data();
    }
    if (m_thread_ptr) {
        m_thread_ptr->quit();
        m_thread_ptr->wait();
        delete m_thread_ptr;
        m_thread_ptr = nullptr;
    }
    m_work_ptr = nullptr;
}

void OpenSerialWidget::slot_clos_app()
{
    // Before the exit flag: a request waiting in the worker ends on this
    // instead of ending the process.
    if (m_work_ptr) {
        m_work_ptr->AbandonRequests();
    }
    g_app_is_exit = true;
    if (m_work_ptr && IsConnected()) {
        emit SignalCloseSerial();
        LOG_INFO() << "send close serial signal";
    }
    MSleepNonBlock(50);
    if (m_thread_ptr) {
        StopWorkerThread();
        LOG_INFO() << "m_thread exit sucess";
    }
    LOG_INFO() << "app closed success";
}

bool OpenSerialWidget::IsPortListed() const
{
    const QString current = g_connection_serial_name.Get();
    const QStringList entries = SerialPortManager::GetInstance()->GetSerialPortNames();
    for (const QString& entry : entries) {
        if (PortNameOf(entry) == current) {
            return true;
        }
    }
    return false;
}

void OpenSerialWidget::PortWatch()
{
    if (g_app_is_exit || IsPortListed()) {
        return;
    }
    if (!g_serial_is_connected && !m_auto_searching) {
        return;
    }
    HandlePortLost();
}

void OpenSerialWidget::HandlePortLost()
{
    if (m_handling_port_loss) {
        return;
    }
    m_handling_port_loss = true;
    // No further ticks while this runs: a box raised here would otherwise be
    // raised again every second.
    m_port_watch_timer->stop();

    ResetALLPage();
    if (m_auto_searching) {
        ui->labelTip->clear();
        StopSearch();
    } else {
        // The device is gone: an upgrade cannot go on and there is nobody
        // to ask, so the link is taken down directly.
        if (g_is_running_upgrade) {
            g_cancelUpgradeFlag = true;
        }
        Disconnect();
    }
    LOG_INFO() << "串口设备已经被拔出";
    m_handling_port_loss = false;
}

bool OpenSerialWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->comboBoxPort && event->type() == QEvent::Enter) {
        const QString remembered = ui->comboBoxPort->currentText();
        if (ui->comboBoxPort->count() > 0) {
            ui->comboBoxPort->clear();
        }
        const QStringList names = SerialPortManager::GetInstance()->GetSerialPortNames();
        ui->comboBoxPort->addItems(names);
        SetAdjustToContentOfComboBox(ui->comboBoxPort);
        for (int i = 0; i < names.size(); ++i) {
            LOG_DEBUG() << "nameList[i]" << names.at(i) << "combobox->currentText()"
                        << ui->comboBoxPort->currentText();
            if (names.at(i) == remembered) {
                ui->comboBoxPort->setCurrentIndex(i);
            }
        }
        return QWidget::eventFilter(watched, event);
    }
    if (watched == ui->comboBoxPort && event->type() == QEvent::Paint) {
        return PaintPortBox();
    }
    if ((watched == ui->comboBoxPort || watched == ui->comboBoxbaud) && event->type() == QEvent::MouseMove) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QString OpenSerialWidget::PortTextForWidth(const QString& entry, const QFontMetrics& metrics, int room)
{
    if (metrics.horizontalAdvance(entry) <= room) {
        return entry;
    }
    const QString name = entry.section('#', 0, 0).trimmed();
    return metrics.horizontalAdvance(name) <= room ? name : metrics.elidedText(name, Qt::ElideLeft, room);
}

// The descriptions the system gives its ports are of any length, and the box
// is narrow at a small window while its text keeps its size: cut at its end,
// "/dev/ttyUSB0 # ..." showed "/dev/tty", which tells no two ports apart.
// The list still shows every entry whole.
bool OpenSerialWidget::PaintPortBox()
{
    QComboBox* combo = ui->comboBoxPort;
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    option.subControls = QStyle::SC_All;
    option.currentText = combo->currentText();
    option.currentIcon = combo->itemIcon(combo->currentIndex());
    option.iconSize = combo->iconSize();
    if (combo->hasFocus() && !option.editable) {
        option.state |= QStyle::State_Selected;
    }
    if (combo->view()->isVisible()) {
        option.state |= QStyle::State_On;
    }
    const QRect field =
        combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    // The label is drawn one pixel in from each side of the field.
    const QString shown = PortTextForWidth(option.currentText, combo->fontMetrics(), field.width() - 2);
    if (option.editable || shown == option.currentText) {
        return false;
    }
    option.currentText = shown;
    QStylePainter painter(combo);
    painter.setPen(combo->palette().color(QPalette::Text));
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    return true;
}
