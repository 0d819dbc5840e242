#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "commom/CommonFunction.h"
#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "controls/AutoResizer.h"
#include "dialogs/general/UpgradeDialog.h"
#include "manager/DisplayWidgetsManager.h"
#include "manager/JsonDataManager.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "workerThread/MessageIds.h"

#include <QAction>
#include <QCloseEvent>
#include <QDebug>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include <cstring>

#ifndef CORVANTA_VERSION
#define CORVANTA_VERSION "1.1.4"
#endif

namespace {

constexpr int kCounterIntervalMs = 100;
constexpr int kHintDelayMs = 500;
// Text keeps at least the size the forms give it while the controls shrink
// with the window: below this the pages' texts no longer fit their controls.
// It is the first window of a 1280 x 720 screen (75 % x 80 %).
constexpr int kMinimumWidth = 960;
constexpr int kMinimumHeight = 576;
const char* const kCheckIcon = ":/images/resources/images/check.png";

// Mode-start command: CMD_SET_MODE with the output mode and the fixed
// argument pattern the device expects from the mode button.
QVariantList ModeStartCommand(int mode)
{
    return QVariantList{3, mode, 0, 0x1234, 0xABCD, 100, 200};
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    ui->label_rx->installEventFilter(this);
    ui->label_tx->installEventFilter(this);

    QSizePolicy modePolicy = ui->btn_mode_start->sizePolicy();
    modePolicy.setRetainSizeWhenHidden(true);
    ui->btn_mode_start->setSizePolicy(modePolicy);

    ui->label_upper_version->setText(QString("上位机版本：") + CORVANTA_VERSION);
    setWindowTitle("Corvanta");

    connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
            &MainWindow::slot_version_message);
    connect(ui->widgetLeft_Top_Serial_customLayout, &OpenSerialWidget::SignalUpdateConnectStatueLable, this,
            &MainWindow::slot_update_connect_label);

    ui->label_side_sn_0_sn1->setTextInteractionFlags(Qt::TextSelectableByMouse);

    InitAutoResize();
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    InitLabels();
    InitTimer();
}

MainWindow::~MainWindow()
{
    // Parentless, and the window usually goes after the event loop has
    // ended, when a deferred deletion would never run.
    delete m_upgrade_dialog;
    m_upgrade_dialog = nullptr;
    delete m_resizer;
    m_resizer = nullptr;
    delete ui;
}

void MainWindow::InitAutoResize()
{
    m_resizer = new AutoResizer(this, width(), height());
    m_resizer->setAutoResizeFlag(AutoResizer::INCLUDE_LABEL | AutoResizer::INCLUDE_BUTTON |
                                 AutoResizer::INCLUDE_EDITOR | AutoResizer::INCLUDE_COMBOBOX);
    m_resizer->addAutoResizeItem(ui->line_mid);
    m_resizer->addAutoResizeItem(ui->line_left_top);
    m_resizer->addAutoResizeItem(ui->line_left_bottom);
    m_resizer->addAutoResizeItem(ui->line);
    m_resizer->addAutoResizeItem(ui->widgetLeft);
    m_resizer->addAutoResizeItem(ui->widgetContent);
    m_resizer->addAutoResizeItem(ui->widgetRight);
    m_resizer->addAutoResizeItem(ui->widgetTabbar);
    m_resizer->addAutoResizeItem(ui->line_2);
    m_resizer->addAutoResizeItem(ui->line_3);
    m_resizer->doneAllResizeItem();
}

void MainWindow::InitLabels()
{
    m_current_icon_path = m_idle_icon_path;
    ShowConnectIcon(m_current_icon_path);
}

void MainWindow::ShowConnectIcon(const QString& path)
{
    const QSize iconSize = ui->label_connect_status->size();
    ui->label_connect_status->setPixmap(ScaleImage(path, static_cast<unsigned int>(qMax(0, iconSize.width())),
                                                   static_cast<unsigned int>(qMax(0, iconSize.height()))));
}

void MainWindow::InitTimer()
{
    m_counter_timer.reset(new QTimer());
    connect(m_counter_timer.data(), &QTimer::timeout, this, [this]() {
        ui->label_rx->setText("RX：" + QString::number(g_recv_total_byte.load()));
        ui->label_tx->setText("TX：" + QString::number(g_send_total_byte.load()));
    });
    m_counter_timer->start(kCounterIntervalMs);

    m_rx_hint_timer.reset(new QTimer());
    m_rx_hint_timer->setSingleShot(true);
    m_rx_hint_timer->setInterval(kHintDelayMs);
    connect(m_rx_hint_timer.data(), &QTimer::timeout, this, [this]() { ShowCounterHint(ui->label_rx); });

    m_tx_hint_timer.reset(new QTimer());
    m_tx_hint_timer->setSingleShot(true);
    m_tx_hint_timer->setInterval(kHintDelayMs);
    connect(m_tx_hint_timer.data(), &QTimer::timeout, this, [this]() { ShowCounterHint(ui->label_tx); });
}

void MainWindow::ShowCounterHint(QLabel* label)
{
    QToolTip::showText(label->mapToGlobal(QPoint(0, label->height() - 1)), "双击清零");
}

QMenu* MainWindow::MakeToolMenu(QToolButton* button)
{
    auto* menu = new QMenu(this);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::InstantPopup);
    return menu;
}

void MainWindow::AddToolActions(QMenu* menu, const OrderedMap<QString, QString>& table,
                                const QString& displayFlag)
{
    for (const QString& className : table.keys()) {
        auto* action = new QAction(table.value(className), this);
        menu->addAction(action);
        action->setData(className);
        connect(action, &QAction::triggered, this, &MainWindow::OnClickedAction);
        action->setProperty("displayFlag", displayFlag);
        m_action_map[className] = QVector<QAction*>{action};
    }
}

void MainWindow::Initializa()
{
    QMenu* serialMenu = MakeToolMenu(ui->toolButtonMuti);
    AddToolActions(serialMenu, g_serialTabNames, "widget");

    m_tool_menu = MakeToolMenu(ui->toolButtonTool);
    QMenu* helpMenu = MakeToolMenu(ui->toolButtoHelp);
    AddToolActions(m_tool_menu, g_singelTabNames, "singleTool");
    AddToolActions(helpMenu, g_helpTabNames, "dialog");

    DisplayWidgetsManager* registry = DisplayWidgetsManager::GetInstance();
    connect(registry, &DisplayWidgetsManager::SignalUpdateCheckedStatus, this,
            &MainWindow::OnUpdateActionsCheckedStatus);
    connect(registry, &DisplayWidgetsManager::SignalShowOrHideModeBtn, this,
            [this](bool flag) { ui->btn_mode_start->setVisible(flag); });

    ui->widgetRight->InitDisplayWidgetsFromFile();
    show();
    // The update check runs on the dialog's own thread; the dialog shows
    // itself only when a newer version is reported.
    m_upgrade_dialog = new UpgradeDialog(nullptr);
}

void MainWindow::on_toolButtonMuti_triggered(QAction* arg1)
{
    if (arg1 == nullptr || g_is_running_upgrade) {
        return;
    }
    g_current_action_name = arg1->text();
    ui->btn_mode_start->setVisible(g_mode_button_show_class.contains(arg1->text()));
}

void MainWindow::OnClickedAction(bool value)
{
    Q_UNUSED(value)
    auto* action = qobject_cast<QAction*>(sender());
    if (action == nullptr) {
        return;
    }
    const QString displayFlag = action->property("displayFlag").toString();
    const QString className = action->data().toString();

    if (g_is_running_upgrade && displayFlag != "dialog") {
        qDebug() << displayFlag;
        DialogSeam::ShowInformation(this, "提示", "固件正在升级,请取消升级之后切换页面");
        return;
    }

    DisplayWidgetsManager* registry = DisplayWidgetsManager::GetInstance();
    if (displayFlag == "dialog") {
        registry->CreateDisplayDialog(className, this);
    } else if (displayFlag == "singleTool") {
        registry->CreateSingleToolDisplayDialog(className, this);
    } else if (registry->CreateDisplayWidget(className, 0)) {
        JsonDataManager::GetInstance()->WriteDisplayAreaName(className);
    }
}

void MainWindow::OnUpdateActionsCheckedStatus(const QString& className, bool checked, int check_which_one)
{
    auto entry = m_action_map.constFind(className);
    if (entry == m_action_map.constEnd() || entry.value().isEmpty()) {
        return;
    }
    const QVector<QAction*>& actions = entry.value();
    if (!checked) {
        for (QAction* action : actions) {
            action->setIconVisibleInMenu(false);
        }
        return;
    }

    const QString caption = actions.first()->text();
    if (caption == "数据解码" || caption == "关于" || caption == "软件升级") {
        return;
    }
    for (const QVector<QAction*>& others : qAsConst(m_action_map)) {
        for (QAction* action : others) {
            action->setIconVisibleInMenu(false);
        }
    }
    if (check_which_one >= 0 && check_which_one < actions.size()) {
        QAction* current = actions.at(check_which_one);
        current->setIcon(QIcon(kCheckIcon));
        current->setIconVisibleInMenu(true);
    }
    g_current_action_name = caption;
}

void MainWindow::on_btn_mode_start_clicked()
{
    const QString caption = g_current_action_name.Get();
    LOG_INFO() << "当前页面" << caption << "模式启动";

    SendDataHandleManager* toDevice = SendDataHandleManager::GetInstance();
    if (caption == "AHRS数据" || caption == "仪表盘") {
        toDevice->SendMessageToIMU(IMU_MSG_MODE_START, ModeStartCommand(1), QString(""));
    } else if (caption == "行人导航") {
        toDevice->SendMessageToIMU(IMU_MSG_MODE_START_PEOPLE_NAV, ModeStartCommand(8), QString(""));
    } else if (caption == "AHRS产品出厂测试上位机") {
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_AHRS_GROUP_STARTED, 0, 0);
    } else if (caption == "33IMU数据") {
        toDevice->SendMessageToIMU(IMU_MSG_MODE_START_IMU33, ModeStartCommand(2), 0);
    } else {
        LOG_INFO() << "模式启动错误";
    }
}

QString MainWindow::SerialNumberText(const VersionPayload& payload)
{
    unsigned char bytes[sizeof(payload.serial_number)];
    std::memcpy(bytes, payload.serial_number, sizeof(bytes));
    QString text;
    for (unsigned char byte : bytes) {
        text += QString("%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return text;
}

void MainWindow::ResetIdentityPanel()
{
    ui->label_side_software_version->setText("N/A");
    ui->label_side_hardware_version->setText("N/A");
    ui->label_side_board_version->setText("N/A");
    ui->label_side_config_fault_code->setText("N/A");
    ui->label_side_calib_fault_code->setText("N/A");
    ui->label_side_master_slave->setText("N/A");
    ui->label_side_sn_0_sn1->setText("N/A");
}

void MainWindow::slot_version_message(int id, QVariant var1, QVariant var2)
{
    Q_UNUSED(var2)
    if (id == PAGE_MSG_VERSION) {
        if (m_version_received) {
            return;
        }
        m_version_received = true;
        LOG_DEBUG() << "连接....";

        VersionPayload payload;
        std::memset(&payload, 0, sizeof(payload));
        if (var1.userType() == qMetaTypeId<VersionPayload>() || var1.canConvert<VersionPayload>()) {
            payload = var1.value<VersionPayload>();
        }

        ui->label_side_software_version->setText(QString::number(payload.software_version));
        ui->label_side_hardware_version->setText(QString::number(payload.hardware_version));
        const QString boardCode = QString::number(payload.board_code);
        if (g_model_board_codes.contains(boardCode)) {
            ui->label_side_board_version->setText(boardCode);
        } else {
            ui->label_side_board_version->setText(Int32toAscii(payload.board_version));
        }
        ui->label_side_config_fault_code->setText(QString::number(payload.config_fault_code));
        ui->label_side_calib_fault_code->setText(QString::number(payload.calib_fault_code));
        ui->label_side_master_slave->setText(payload.master_flag != 0 ? "主机" : "从机");

        const QString serialNumber = SerialNumberText(payload);
        RecvDataHandleManager::GetInstance()->SendMessageToPageSlot(PAGE_MSG_SERIAL_NUMBER, serialNumber, QVariant());
        ui->label_side_sn_0_sn1->setWordWrap(true);
        ui->label_side_sn_0_sn1->setText(serialNumber);
        g_imu_sn = serialNumber;
        return;
    }

    if (id == PAGE_MSG_CONNECTION) {
        LOG_DEBUG() << "断开....";
        if (var1.toBool()) {
            return;
        }
        ResetIdentityPanel();
        m_version_received = false;
    }
}

void MainWindow::slot_update_connect_label(SerialState state)
{
    switch (state) {
    case SERIAL_STATE_OPENED:
        m_current_icon_path = m_opened_icon_path;
        ShowConnectIcon(m_current_icon_path);
        break;
    case SERIAL_STATE_OPEN_FAILED:
        m_current_icon_path = m_failed_icon_path;
        ShowConnectIcon(m_current_icon_path);
        break;
    case SERIAL_STATE_CLOSED:
        InitLabels();
        break;
    default:
        break;
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    const bool isRx = watched == ui->label_rx;
    const bool isTx = watched == ui->label_tx;
    if (!isRx && !isTx) {
        return QMainWindow::eventFilter(watched, event);
    }
    QTimer* hintTimer = isRx ? m_rx_hint_timer.data() : m_tx_hint_timer.data();

    switch (event->type()) {
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) {
            break;
        }
        if (isRx) {
            g_recv_total_byte = 0;
        } else {
            g_send_total_byte = 0;
        }
        return true;
    }
    case QEvent::Enter:
        hintTimer->stop();
        hintTimer->start();
        return true;
    case QEvent::Leave:
        QToolTip::hideText();
        hintTimer->stop();
        QToolTip::hideText();
        return true;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRect(rect());
}

void MainWindow::ApplyWindowSize()
{
    if (m_resizer != nullptr) {
        m_resizer->doAutoResize();
    }
    ShowConnectIcon(m_current_icon_path);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    ApplyWindowSize();
    QMainWindow::resizeEvent(event);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The proportional layout for the size the window is shown at; growing
    // the window to force a resize would add a pixel at every show.
    ApplyWindowSize();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    const auto ask = [this](const QString& title, const QString& text) {
        return DialogSeam::AskQuestion(this, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    };

    if (g_is_running_upgrade) {
        if (ask("警告", "固件正在升级当中，是否退出") != QMessageBox::Yes) {
            event->ignore();
            return;
        }
        g_cancelUpgradeFlag = true;
    }
    if (g_ahrs_file_recording && ask("警告", "AHRS正在保存数据，是否退出") != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    if (g_33imu_file_recording && ask("警告", "9/33IMU正在保存数据，是否退出") != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    if (ask("确认对话框", "请确认是否关闭上位机") != QMessageBox::Yes) {
        event->ignore();
        return;
    }

    LOG_DEBUG() << "确定退出";
    g_decode_exit = true;
    RecvDataHandleManager::GetInstance()->CloseApp();
    MSleepNonBlock(50);
    event->accept();
    LOG_DEBUG() << "app exit sucess";
}
