#include "widgets/singleTools/parameterConfigPage/AllParameterWidget.h"

#include "ui_AllParameterWidget.h"

#include <QDir>
#include <QHeaderView>
#include <QResizeEvent>
#include <QTableWidgetItem>
#include <QTimer>

#include "commom/CommonFunction.h"
#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "controls/AutoResizer.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SendDataHandleManager.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"

namespace {

constexpr int kNameColumn = 0;
constexpr int kValueColumn = 1;
constexpr int kCommentColumn = 2;
constexpr int kColumnWidths[ParamTableSheet::kGridColumns] = {120, 100, 220};

} // namespace

AllParameterWidget::AllParameterWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::AllParameterWidget)
{
    ui->setupUi(this);
    InitWdiget();
    connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
            &AllParameterWidget::slot_display_param_table_value, Qt::QueuedConnection);
    m_tableReadFlag = 0;
    InitAutoResize();
    InitTimer();
    ui->btn_export_csv->hide();
}

AllParameterWidget::~AllParameterWidget()
{
    // A request of this page that can no longer end must not block the
    // table requests of a page made later.
    if (IsWatchdogActive()) {
        g_param_table_req_running = false;
    }
    if (m_exportFile.isOpen()) {
        m_exportFile.close();
    }
}

QString AllParameterWidget::PageCaption()
{
    return QString::fromUtf8("参数表");
}

bool AllParameterWidget::IsWatchdogActive() const
{
    return m_watchdog && m_watchdog->isActive();
}

void AllParameterWidget::InitWdiget()
{
    setWindowTitle(QString::fromUtf8("系统参数"));
    QTableWidget* table = ui->tableWidget;
    table->setRowCount(ParamTableSheet::kGridRows);
    table->setColumnCount(ParamTableSheet::kGridColumns);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setVisible(true);
    table->setHorizontalHeaderLabels(ParamTableSheet::HorizontalHeaderLabels());
    QStringList rowLabels;
    rowLabels.reserve(ParamTableSheet::kGridRows);
    for (int row = 0; row < ParamTableSheet::kGridRows; ++row) {
        rowLabels.append(QString::number(row));
    }
    table->setVerticalHeaderLabels(rowLabels);
    for (int row = 0; row < ParamTableSheet::kParamRows; ++row) {
        table->setItem(row, kNameColumn, new QTableWidgetItem(ParamTableSheet::NameOf(row)));
        table->setItem(row, kValueColumn, new QTableWidgetItem(ParamTableSheet::PlaceholderValue()));
        table->setItem(row, kCommentColumn, new QTableWidgetItem(ParamTableSheet::CommentOf(row)));
    }
}

void AllParameterWidget::InitAutoResize()
{
    m_autoResizer.reset(new AutoResizer(this, width(), height()));
    m_autoResizer->setAutoResizeFlag(AutoResizer::INCLUDE_LABEL | AutoResizer::INCLUDE_BUTTON
                                     | AutoResizer::INCLUDE_EDITOR | AutoResizer::INCLUDE_COMBOBOX);
    m_autoResizer->addAutoResizeItem(ui->tableWidget);
    m_autoResizer->doneAllResizeItem();
    ApplyColumnWidths();
}

void AllParameterWidget::InitTimer()
{
    m_watchdog = new QTimer(this);
    m_watchdog->setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the device gets its full 3000 ms.
    m_watchdog->setTimerType(Qt::PreciseTimer);
    connect(m_watchdog, &QTimer::timeout, this, &AllParameterWidget::slot_watchdog_timeout);
}

void AllParameterWidget::ApplyColumnWidths()
{
    const float ratio = m_autoResizer ? m_autoResizer->getHorResizeRatio() : 1.0f;
    for (int column = 0; column < ParamTableSheet::kGridColumns; ++column) {
        ui->tableWidget->setColumnWidth(column, static_cast<int>(kColumnWidths[column] * ratio));
    }
}

void AllParameterWidget::resizeEvent(QResizeEvent* event)
{
    if (m_autoResizer) {
        m_autoResizer->doAutoResize();
    }
    ApplyColumnWidths();
    QWidget::resizeEvent(event);
}

QString AllParameterWidget::CellText(int row, int column) const
{
    const QTableWidgetItem* item = ui->tableWidget->item(row, column);
    return item ? item->text() : QString();
}

void AllParameterWidget::SetCellText(int row, int column, const QString& text)
{
    QTableWidgetItem* item = ui->tableWidget->item(row, column);
    if (item) {
        item->setText(text);
    } else {
        ui->tableWidget->setItem(row, column, new QTableWidgetItem(text));
    }
}

void AllParameterWidget::ShowStatus(const QString& text)
{
    ui->label_inner_param_transfer_status_2->setText(text);
}

bool AllParameterWidget::RequestAllowed()
{
    if (!g_communicate_with_serial_flag) {
        DialogSeam::ShowCritical(this, "错误", "未成功连接设备");
    }
    if (g_param_table_req_running) {
        DialogSeam::ShowWarning(this, "警告", "当前请求未完成，不能进行其他操作");
        return false;
    }
    return true;
}

void AllParameterWidget::RestartWatchdog()
{
    if (m_watchdog) {
        m_watchdog->stop();
        m_watchdog->start(m_watchdogInterval);
    }
}

void AllParameterWidget::EndRequest()
{
    g_param_table_req_running = false;
    if (m_watchdog) {
        m_watchdog->stop();
    }
}

void AllParameterWidget::on_get_normal_param_clicked()
{
    if (!RequestAllowed()) {
        return;
    }
    g_param_table_req_running = true;
    RestartWatchdog();
    g_param_table_req_timeout = false;
    for (int row = 0; row < ParamTableSheet::kParamRows; ++row) {
        SetCellText(row, kValueColumn, ParamTableSheet::PlaceholderValue());
    }
    // What was read before is gone from the grid: until this read brings a
    // whole table, there is nothing a write could send.
    m_tableReadFlag = 0;
    m_shown = ParamTableSheet::ShownTable();
    SendDataHandleManager::GetInstance()->SendMessageToIMU(
        IMU_MSG_PARAM_TABLE, QVariant(static_cast<int>(PARAM_TABLE_READ)), QVariant(QString("")));
    ShowStatus("正在请求当中.....,若无响应,则重启设备");
}

void AllParameterWidget::on_set_normal_param_clicked()
{
    if (!RequestAllowed()) {
        return;
    }
    g_param_table_req_running = true;
    if (m_tableReadFlag == 0) {
        g_param_table_req_running = false;
        DialogSeam::ShowWarning(this, "警告", "请先刷新参数");
        return;
    }
    QStringList texts;
    texts.reserve(ParamTableSheet::kParamRows);
    for (int row = 0; row < ParamTableSheet::kParamRows; ++row) {
        texts.append(CellText(row, kValueColumn));
    }
    QList<int> badRows;
    const QMap<int, float> map = ParamTableSheet::BuildWriteMap(texts, m_shown, &badRows);
    if (!badRows.isEmpty()) {
        // A cell without a number is never sent as 0: nothing is sent.
        g_param_table_req_running = false;
        DialogSeam::ShowWarning(this, "警告", ParamTableSheet::BadCellsText(badRows, texts));
        return;
    }
    ShowStatus("正在设置参数....,若无响应,则重启设备");
    m_tableReadFlag = 0;
    RestartWatchdog();
    g_param_table_req_timeout = false;
    SendDataHandleManager::GetInstance()->SendMessageToIMU(
        IMU_MSG_PARAM_TABLE, QVariant(static_cast<int>(PARAM_TABLE_WRITE)), QVariant::fromValue(map));
}

void AllParameterWidget::on_set_normal_param_default_clicked()
{
    if (!RequestAllowed()) {
        return;
    }
    g_param_table_req_running = true;
    if (DialogSeam::AskWarningQuestion(this, "警告", "确定恢复默认参数吗？") != QMessageBox::No) {
        RestartWatchdog();
        LOG_DEBUG() << "确定恢复默认参数";
        SendDataHandleManager::GetInstance()->SendMessageToIMU(
            IMU_MSG_PARAM_TABLE, QVariant(static_cast<int>(PARAM_TABLE_RESTORE)), QVariant());
        ShowStatus("命令发送成功");
    }
    // The device does not answer a restore: the page takes new requests at
    // once.
    g_param_table_req_running = false;
}

void AllParameterWidget::slot_display_param_table_value(int id, QVariant var1, QVariant var2)
{
    if (id == PAGE_MSG_CONNECTION && var1.isValid() && !var1.toBool()) {
        ForgetTable();
        return;
    }
    if (g_current_action_name != PageCaption()) {
        return;
    }
    if (id != PAGE_MSG_PARAM_TABLE_READ && id != PAGE_MSG_PARAM_TABLE_WRITE) {
        return;
    }
    RestartWatchdog();
    switch (ParamTableSheet::Classify(id, var1)) {
    case ParamTableSheet::Answer::Ignore:
        break;
    case ParamTableSheet::Answer::StatusContinue:
        ShowStatus(var2.toString());
        break;
    case ParamTableSheet::Answer::ChecksumPassed:
        // The table follows at once. The watchdog keeps running until it
        // has come, so that a lost table cannot leave the page refusing
        // every request for good.
        ShowStatus(var2.toString());
        break;
    case ParamTableSheet::Answer::StatusEnd:
        ShowStatus(var2.toString());
        EndRequest();
        break;
    case ParamTableSheet::Answer::Table:
        // A table that is not one would show as all zeros, and the next
        // write would store those zeros in the device.
        if (var2.userType() == qMetaTypeId<QMap<unsigned int, float>>()) {
            ShowTable(var2);
            m_tableReadFlag = 1;
        } else {
            LOG_WARN() << "参数表数据无效";
        }
        EndRequest();
        break;
    }
}

void AllParameterWidget::ForgetTable()
{
    // The table read belongs to the device that is gone: a write after the
    // next connection would otherwise send it to another device.
    for (int row = 0; row < ParamTableSheet::kParamRows; ++row) {
        SetCellText(row, kValueColumn, ParamTableSheet::PlaceholderValue());
    }
    m_tableReadFlag = 0;
    m_shown = ParamTableSheet::ShownTable();
}

void AllParameterWidget::ShowTable(const QVariant& var2)
{
    const QMap<unsigned int, float> table = var2.value<QMap<unsigned int, float>>();
    m_shown = ParamTableSheet::FromDeviceTable(table);
    for (int row = 0; row < ParamTableSheet::kParamRows; ++row) {
        SetCellText(row, kValueColumn, m_shown.texts.at(row));
    }
}

void AllParameterWidget::slot_watchdog_timeout()
{
    g_param_table_req_running = false;
    ShowStatus("请求超时");
    g_param_table_req_timeout = true;
}

void AllParameterWidget::on_btn_export_csv_clicked()
{
    const QString folder = DialogSeam::GetExistingDirectory(
        this, "选择保存路径", QDir::homePath(), QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty()) {
        return;
    }
    const QString path =
        ParamTableSheet::ExportFileName(folder, GetCurrentDateTime("yyyy-MM-dd-hh-mm-ss"));
    // A file left open would keep its old name and receive this export.
    if (m_exportFile.isOpen()) {
        m_exportFile.close();
    }
    m_exportFile.setFileName(path);
    if (!m_exportFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        LOG_DEBUG() << "导出文件打开失败" << path << m_exportFile.errorString();
    }
    QList<QStringList> grid;
    grid.reserve(ParamTableSheet::kParamRows);
    for (int row = 0; row < ParamTableSheet::kParamRows; ++row) {
        grid.append(QStringList{CellText(row, kNameColumn), CellText(row, kValueColumn),
                                CellText(row, kCommentColumn)});
    }
    QString error;
    bool written = WriteCsvFile(&m_exportFile, ParamTableSheet::BuildExportRows(grid), &error);
    // Closed after a failed write too; its reason is the one to tell.
    written = CloseCsvFile(&m_exportFile, written ? &error : nullptr) && written;
    if (written) {
        DialogSeam::ShowInformation(this, "提示", "文件导出成功");
    } else {
        DialogSeam::ShowCritical(this, "提示", QString::fromUtf8("文件导出失败,请检查保存路径，") + error);
    }
}
