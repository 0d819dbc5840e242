#include "widgets/singleTools/SerialPortAssistantWidget.h"

#include "ui_SerialPortAssistantWidget.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTabBar>
#include <QTableWidgetItem>
#include <QTextCursor>
#include <QTextDocument>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include "commom/CommonFunction.h"
#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "commom/Logger.h"
#include "controls/AutoResizer.h"
#include "dialogs/general/SerialCustomDialog.h"
#include "manager/RecvDataHandleManager.h"
#include "manager/SettingManager.h"
#include "widgets/singleTools/AssistantText.h"
#include "widgets/singleTools/AtCommandFile.h"
#include "widgets/singleTools/CommandFrameText.h"
#include "widgets/singleTools/RecordSpaceCheck.h"
#include "widgets/singleTools/RecordingSwitch.h"
#include "workerThread/MessageIds.h"
#include "workerThread/SerialPortManager.h"

namespace {

const char* const kTimeFormat = "yyyy-MM-dd hh:mm:ss.zzz";
const char* const kNoDescription = "暂无介绍";
const char* const kEmptyDescription = "暂无描述";
const char* const kButtonStyle = "QPushButton{ border: 0px }";
const char* const kFrameFormatText = "未知字符,请保持格式一致,以逗号(,)或者空格( )分割";

QString Now()
{
    return QDateTime::currentDateTime().toString(QString::fromLatin1(kTimeFormat));
}

// Received and typed bytes are shown as they are: never read as markup.
// The text goes in as a new paragraph at the end; with maxBlocks set, the
// oldest paragraphs beyond it are dropped. Only positions are set: a moved
// text cursor lays out every paragraph it passes, which would shape a whole
// view of text at each tick.
template <typename Edit>
void AppendParagraph(Edit* edit, const QString& text, int maxBlocks = 0)
{
    QTextDocument* doc = edit->document();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    cursor.setPosition(doc->characterCount() - 1);
    if (!doc->isEmpty()) {
        cursor.insertBlock();
    }
    cursor.insertText(text);
    if (maxBlocks > 0 && doc->blockCount() > maxBlocks) {
        cursor.setPosition(0);
        cursor.setPosition(doc->findBlockByNumber(doc->blockCount() - maxBlocks).position(),
                           QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.endEditBlock();
    edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum());
}

// Parameters 3 and 4 are unsigned on the wire but typed freely here: a
// negative number goes out as its two's complement, and the values that
// parsing a frame shows (up to 4294967295) build the same frame again.
uint32_t ReadUnsignedParam(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? static_cast<uint32_t>(value) : CommandFrameText::ReadUnsigned(text);
}

QStringList AtHeaderLabels()
{
    return {QStringLiteral("命令"), QStringLiteral("说明"), QStringLiteral("操作1"), QStringLiteral("操作2"),
            QStringLiteral("操作3")};
}

} // namespace

SerialPortAssistantWidget::SerialPortAssistantWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::SerialPortAssistantWidget)
{
    ui->setupUi(this);
    InitAutoResize();
    InitTimer();
    InitParams();
    InitTableWidget();
    InitButton();
    connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
            &SerialPortAssistantWidget::slot_display_recv_data);
    ui->text_edit_recv->setUndoRedoEnabled(false);
}

SerialPortAssistantWidget::~SerialPortAssistantWidget()
{
    // A send loop must not outlive the page it reports to.
    m_closing = true;
    m_loop_checked = false;
    m_loop_future.waitForFinished();

    delete m_autoResizer;
    m_autoResizer = nullptr;
    m_display_timer->stop();
    // Same thread, no parent: deleting now leaves nothing behind when no
    // event loop runs after the page is gone.
    delete m_display_timer;
    m_display_timer = nullptr;
    delete ui;
}

void SerialPortAssistantWidget::InitAutoResize()
{
    m_autoResizer = new AutoResizer(this, width(), height());
    m_autoResizer->setAutoResizeFlag(AutoResizer::INCLUDE_LABEL | AutoResizer::INCLUDE_BUTTON
                                     | AutoResizer::INCLUDE_EDITOR | AutoResizer::INCLUDE_COMBOBOX);
    m_autoResizer->addNoAutoResizeItem(ui->text_edit_recv);
    m_autoResizer->addNoAutoResizeItem(ui->tabWidget_recv);
    m_autoResizer->addNoAutoResizeItem(ui->tabWidget_quick);
    m_autoResizer->addNoAutoResizeItem(ui->tabWidget_quick->widget(0));
    m_autoResizer->addNoAutoResizeItem(ui->textEdit_history_send);
    m_autoResizer->addAutoResizeItem(ui->tabWidget_send);
    m_autoResizer->addAutoResizeItem(ui->text_edit_send);
    m_autoResizer->addAutoResizeItem(ui->splitter);
    m_autoResizer->doneAllResizeItem();
}

void SerialPortAssistantWidget::InitTimer()
{
    m_display_timer = new QTimer();
    connect(m_display_timer, &QTimer::timeout, this, &SerialPortAssistantWidget::FlushReceiveBuffer);
    m_display_timer->start(100);
}

void SerialPortAssistantWidget::InitParams()
{
    m_quick_hidden = true;
    m_index_hidden = true;
    m_send_hex = false;
    ui->radioButton_send_set_ascii->setChecked(true);
    m_auto_enter = true;
    ui->checkBox_auto_enter->setChecked(true);
    connect(ui->checkBox_auto_enter, &QCheckBox::toggled, this, [this](bool on) { m_auto_enter = on; });
    m_loop_checked = false;
    ui->checkBox_while->setChecked(false);
    m_loop_period = 0;
    m_loop_running = false;
    m_show_time = true;
    ui->checkBox_show_time_msg->setChecked(true);
    m_display_paused = false;
    ui->checkBox_no_show->setChecked(false);
    m_recv_hex = false;
    ui->radioButton_recv_set_ascii->setChecked(true);
    // A recording is process-wide and may still run from an earlier page.
    ui->checkBox_save_data->setChecked(g_serial_assistant_save_data.load());
    m_send_counter = 0;
    m_recv_counter = 0;
    m_append_limit = 300;
    m_append_count = 0;

    m_end_of_send_timer = new QTimer(this);
    m_end_of_send_timer->setSingleShot(true);
    m_end_of_send_timer->setInterval(500);
    connect(m_end_of_send_timer, &QTimer::timeout, this, &SerialPortAssistantWidget::ShowEndOfSend);

    m_resize_timer = new QTimer(this);
    m_resize_timer->setSingleShot(true);
    m_resize_timer->setInterval(1000);
    // The box is what the user set: a resize never lifts a pause it holds.
    connect(m_resize_timer, &QTimer::timeout, this,
            [this]() { m_display_paused = ui->checkBox_no_show->isChecked(); });

    m_history_index = 0;
    ui->text_edit_recv->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    ui->text_edit_recv->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    ui->text_edit_recv->setReadOnly(true);
}

void SerialPortAssistantWidget::InitButton()
{
    ui->btn_last_history_send->setStyleSheet(QStringLiteral(
        "border-image: url(:/images/resources/images/toolBox/leftArrow.png); border: none; "
        "background: transparent;"));
    ui->btn_next_history_send->setStyleSheet(QStringLiteral(
        "border-image: url(:/images/resources/images/toolBox/rightArrow.png); border: none; "
        "background: transparent;"));
}

void SerialPortAssistantWidget::resizeEvent(QResizeEvent* event)
{
    if (m_autoResizer != nullptr) {
        m_autoResizer->doAutoResize();
        // Tab bars keep a font of their own: the titles take the scaled
        // font of the send tabs.
        for (QTabWidget* tabs : {ui->tabWidget_recv, ui->tabWidget_quick, ui->tabWidget_send}) {
            tabs->tabBar()->setFont(ui->tabWidget_send->font());
        }
    }
    QWidget::resizeEvent(event);
    if (!m_display_paused) {
        m_resize_timer->start();
    }
}

// ---- Receiving -------------------------------------------------------------

void SerialPortAssistantWidget::slot_display_recv_data(int id, QVariant var1, QVariant var2)
{
    // The worker stopped the recording because its file failed (a full disk,
    // say): the box goes off and the user is told, whichever page is shown.
    QString error;
    if (RecordingSwitch::TakeFailure(IMU_MSG_RECORD_ASSISTANT, &m_record_path, id, var1, var2, &error)) {
        ui->checkBox_save_data->setChecked(false);
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), RecordingSwitch::FailureMessage(error));
        return;
    }
    if (id != PAGE_MSG_RAW_DATA || g_current_action_name.Get() != QStringLiteral("串口助手")) {
        return;
    }
    const QByteArray bytes = var1.toByteArray();
    m_recv_buffer.Append(bytes);
    m_recv_counter += static_cast<uint64_t>(bytes.size());
}

void SerialPortAssistantWidget::FlushReceiveBuffer()
{
    if (m_recv_buffer.IsEmpty() || m_display_paused) {
        return;
    }
    // One tick adds at most what the view keeps, its time line included.
    QString text;
    if (!m_recv_buffer.Take(m_recv_hex, ReceiveViewBuffer::kViewLines - (m_show_time ? 1 : 0), &text)) {
        return;
    }
    QString line = text;
    if (m_show_time) {
        line = QStringLiteral("[") + Now() + QStringLiteral("]# RECV ")
            + (m_recv_hex ? QStringLiteral("HEX >\n") : QStringLiteral("ASCII >\n")) + text;
    }
    AppendParagraph(ui->text_edit_recv, line, ReceiveViewBuffer::kViewLines);
    ++m_append_count;
    if (m_append_count > m_append_limit) {
        ui->text_edit_recv->clear();
        m_append_count = 0;
    }
    ui->label_recv_total_byte->setText(QStringLiteral("接收总字节数：") + QString::number(m_recv_counter));
}

void SerialPortAssistantWidget::ShowEndOfSend()
{
    // The answer to a send shows at once, in the view's mode, and leaves the
    // buffer: every received byte is shown once.
    FlushReceiveBuffer();
}

// ---- Sending ---------------------------------------------------------------

QString SerialPortAssistantWidget::CheckAndReplace(const QString& text)
{
    return AssistantText::CheckAndReplace(text);
}

QString SerialPortAssistantWidget::SendPrefix() const
{
    return QStringLiteral("[") + Now() + QStringLiteral("]# Send ")
        + (m_send_hex ? QStringLiteral("HEX >") : QStringLiteral("ASCII >"));
}

void SerialPortAssistantWidget::NoteSent(const QString& text)
{
    AppendParagraph(ui->textEdit_history_send, SendPrefix() + text);
    m_history.append(text);
    m_history_index = m_history.size() - 1;
}

void SerialPortAssistantWidget::AddToSendCounter(uint32_t count)
{
    m_send_counter += count; // wraps at 2^32 by design
    ui->label_send_total_byte->setText(QStringLiteral("发送总字节数：") + QString::number(m_send_counter));
}

void SerialPortAssistantWidget::on_btn_send_command_clicked()
{
    QString text = ui->text_edit_send->toPlainText();
    if (text.isEmpty()) {
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), QStringLiteral("请输入命令"));
        return;
    }
    if (m_loop_running) {
        DialogSeam::ShowWarning(this, QStringLiteral("警告"),
                                QStringLiteral("正在循环发送命令中，请取消勾选之后再发送"));
        return;
    }
    // Nothing would reach a line: say so instead of counting and echoing.
    if (!PortIsOpen()) {
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), QStringLiteral("请连接串口"));
        return;
    }
    if (m_auto_enter) {
        text = AssistantText::ExpandEscapes(text);
    }

    QByteArray bytes;
    if (m_send_hex) {
        QString cleaned;
        if (!AssistantText::HexTextToBytes(text, &bytes, &cleaned)) {
            LOG_DEBUG() << QStringLiteral("非法的十六进制字符串：") + cleaned;
            DialogSeam::ShowCritical(this, QStringLiteral("错误"), QStringLiteral("非法的十六进制字符串"));
            return;
        }
    } else {
        bytes = text.toLatin1();
    }

    if (m_loop_checked) {
        m_loop_period = AssistantText::ParsePeriod(ui->lineEdit->text());
        StartSendLoop(bytes);
        return;
    }

    SerialPortManager::GetInstance()->SendCommand(bytes);
    m_end_of_send_timer->start();
    AddToSendCounter(static_cast<uint32_t>(bytes.size()));
    const QString prefix = SendPrefix();
    NoteSent(HistoryText(bytes));
    // Bytes that came before the send show before its echo.
    RecvDataHandleManager::GetInstance()->DeliverWaitingSamples();
    FlushReceiveBuffer();
    const QString echo = m_send_hex ? ReceiveViewBuffer::HexRows(bytes)
                                    : ReceiveViewBuffer::BoundedLines(AssistantText::Utf8UpToZero(bytes),
                                                                      ReceiveViewBuffer::kViewLines - 1);
    AppendParagraph(ui->text_edit_recv, prefix + QStringLiteral("\n") + echo, ReceiveViewBuffer::kViewLines);
}

bool SerialPortAssistantWidget::PortIsOpen()
{
    return g_serial_is_connected && SerialPortManager::GetInstance()->GetImuWorker() != nullptr;
}

QString SerialPortAssistantWidget::HistoryText(const QByteArray& bytes) const
{
    // A hexadecimal command is kept as its hexadecimal text, so that it reads
    // and sends again as it was typed.
    return m_send_hex ? AssistantText::HexPairs(bytes) : AssistantText::Utf8UpToZero(bytes);
}

void SerialPortAssistantWidget::StartSendLoop(const QByteArray& bytes)
{
    // Set here, before the task is queued, so a second press is refused at
    // once.
    m_loop_running = true;
    NoteSent(HistoryText(bytes));
    m_loop_future = QtConcurrent::run(QThreadPool::globalInstance(),
                                      [this, bytes]() { SendLoop(bytes); });
}

void SerialPortAssistantWidget::SendLoop(QByteArray bytes)
{
    const int period = m_loop_period == 0 ? 1000 : m_loop_period;
    const uint32_t size = static_cast<uint32_t>(bytes.size());
    QElapsedTimer sinceCount;
    uint32_t uncounted = 0;
    bool portLost = false;
    while (m_loop_checked && !m_closing) {
        if (!g_serial_is_connected) {
            portLost = true;
            break;
        }
        SerialPortManager::GetInstance()->SendCommand(bytes);
        uncounted += size;
        // Waits in slices so that a closing page is not kept waiting for a
        // long period; unchecking still takes effect after the whole wait.
        QElapsedTimer waited;
        waited.start();
        while (!m_closing && waited.elapsed() < period) {
            MSleepNonBlock(static_cast<unsigned int>(std::min<qint64>(20, period - waited.elapsed())));
        }
        if (m_closing) {
            return;
        }
        // The label is refreshed at most ten times a second; bytes sent in
        // between are carried over so that none go uncounted.
        if (!sinceCount.isValid() || sinceCount.elapsed() > 100) {
            sinceCount.start();
            const uint32_t count = uncounted;
            uncounted = 0;
            QMetaObject::invokeMethod(this, [this, count]() { AddToSendCounter(count); }, Qt::QueuedConnection);
        }
    }
    if (m_closing) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, uncounted, portLost]() {
            if (uncounted > 0) {
                AddToSendCounter(uncounted);
            }
            m_loop_running = false;
            m_end_of_send_timer->start();
            if (portLost) {
                m_loop_checked = false;
                ui->checkBox_while->setChecked(false);
                DialogSeam::ShowWarning(this, QStringLiteral("警告"), QStringLiteral("请连接串口"));
            }
        },
        Qt::QueuedConnection);
}

// ---- Small slots -----------------------------------------------------------

void SerialPortAssistantWidget::on_btn_quick_command_clicked()
{
    const int w = ui->tabWidget_recv->width();
    if (!m_quick_hidden) {
        ui->splitter->setSizes({w, 0});
        m_quick_hidden = true;
        m_index_hidden = true;
    } else {
        ui->splitter->setSizes({(w / 7) * 4, (w / 7) * 3});
        m_quick_hidden = false;
        ui->tabWidget_quick->setCurrentIndex(0);
    }
}

void SerialPortAssistantWidget::on_btn_view_cmd_index_clicked()
{
    const int w = ui->tabWidget_recv->width();
    if (!m_index_hidden) {
        ui->splitter->setSizes({w, 0});
        m_quick_hidden = true;
        m_index_hidden = true;
    } else {
        ui->splitter->setSizes({(w / 7) * 4, (w / 7) * 3});
        m_index_hidden = false;
        ui->tabWidget_quick->setCurrentIndex(2);
    }
}

void SerialPortAssistantWidget::on_btn_clear_send_clicked()
{
    ui->text_edit_send->clear();
}

void SerialPortAssistantWidget::on_btn_clear_recv_clicked()
{
    ui->text_edit_recv->clear();
}

void SerialPortAssistantWidget::on_radioButton_send_set_ascii_clicked(bool checked)
{
    if (checked) {
        m_send_hex = false;
    }
}

void SerialPortAssistantWidget::on_radioButton_sen_set_hex_clicked(bool checked)
{
    if (checked) {
        m_send_hex = true;
    }
}

void SerialPortAssistantWidget::on_radioButton_recv_set_ascii_clicked(bool checked)
{
    if (checked) {
        m_recv_hex = false;
    }
}

void SerialPortAssistantWidget::on_radioButton_recv_set_hex_clicked(bool checked)
{
    if (checked) {
        m_recv_hex = true;
    }
}

void SerialPortAssistantWidget::on_tabWidget_send_currentChanged(int index)
{
    if (index == 0) {
        ui->groupBox_send_set_customLayout->setEnabled(true);
    } else if (index == 1) {
        ui->groupBox_send_set_customLayout->setEnabled(false);
    }
}

void SerialPortAssistantWidget::on_checkBox_show_time_msg_clicked(bool checked)
{
    m_show_time = checked;
}

void SerialPortAssistantWidget::on_checkBox_while_clicked(bool checked)
{
    m_loop_checked = checked;
}

void SerialPortAssistantWidget::on_checkBox_no_show_clicked(bool checked)
{
    m_display_paused = checked;
}

void SerialPortAssistantWidget::on_btn_reset_recv_total_byte_clicked()
{
    m_recv_counter = 0;
    ui->label_recv_total_byte->setText(QStringLiteral("接收总字节数：0"));
}

void SerialPortAssistantWidget::on_btn_last_history_send_clicked()
{
    if (m_history.isEmpty()) {
        return;
    }
    m_history_index = qBound(0, m_history_index, m_history.size() - 1);
    ui->text_edit_send->clear();
    ui->text_edit_send->setPlainText(m_history.at(m_history_index));
    if (m_history_index > 0) {
        --m_history_index;
    }
}

void SerialPortAssistantWidget::on_btn_next_history_send_clicked()
{
    if (m_history.isEmpty()) {
        return;
    }
    m_history_index = qBound(0, m_history_index + 1, m_history.size() - 1);
    ui->text_edit_send->clear();
    ui->text_edit_send->setPlainText(m_history.at(m_history_index));
}

// ---- Recording -------------------------------------------------------------

void SerialPortAssistantWidget::StopRecording()
{
    RecordingSwitch::Stop(IMU_MSG_RECORD_ASSISTANT);
    m_record_path.clear();
}

void SerialPortAssistantWidget::on_checkBox_save_data_clicked(bool checked)
{
    Q_UNUSED(checked);
    if (!g_communicate_with_serial_flag) {
        ui->checkBox_save_data->setChecked(false);
        DialogSeam::ShowCritical(this, QStringLiteral("错误"), QStringLiteral("未成功连接设备"));
        if (g_serial_assistant_save_data) {
            StopRecording();
        }
        return;
    }
    if (g_serial_assistant_save_data) {
        StopRecording();
        ui->checkBox_save_data->setChecked(false);
        return;
    }
    const QString proposed = g_imu_sn.Get() + QStringLiteral("_")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"))
        // With its extension the recording is listed by the decoder's picker.
        + QStringLiteral(".dat");
    const QString path = DialogSeam::GetSaveFileName(this, QStringLiteral("保存二进制数据"), proposed,
                                                     QStringLiteral("数据格式 (*.dat)"));
    if (path.isEmpty()) {
        ui->checkBox_save_data->setChecked(false);
        return;
    }
    // The volume that matters is the one holding the file's folder.
    const RecordSpaceCheck::Result space = RecordSpaceCheck::Check(path);
    if (!space.allowed) {
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), space.message);
        ui->checkBox_save_data->setChecked(false);
        return;
    }
    // A file that cannot be written is said now, not found out later.
    QString error;
    if (!RecordingSwitch::Start(IMU_MSG_RECORD_ASSISTANT, path, &error)) {
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), error);
        ui->checkBox_save_data->setChecked(false);
        return;
    }
    m_record_path = path;
    ui->checkBox_save_data->setChecked(true);
}

// ---- Command-frame box -----------------------------------------------------

void SerialPortAssistantWidget::CheckContent()
{
    for (QLineEdit* edit : {ui->lineEdit_id, ui->lineEdit_param1, ui->lineEdit_param2, ui->lineEdit_param3,
                            ui->lineEdit_param4, ui->lineEdit_param5, ui->lineEdit_param6}) {
        if (edit->text().isEmpty()) {
            edit->setText(QStringLiteral("0"));
        }
    }
}

void SerialPortAssistantWidget::on_btn_gen_command_clicked()
{
    CheckContent();
    ui->text_edit_send->clear();
    CommandFields fields;
    fields.cmd = CommandFrameText::ReadCommandId(ui->lineEdit_id->text());
    fields.f1 = CommandFrameText::ReadFloat(ui->lineEdit_param1->text());
    fields.f2 = CommandFrameText::ReadFloat(ui->lineEdit_param2->text());
    fields.u1 = ReadUnsignedParam(ui->lineEdit_param3->text());
    fields.u2 = ReadUnsignedParam(ui->lineEdit_param4->text());
    fields.i1 = CommandFrameText::ReadSigned(ui->lineEdit_param5->text());
    fields.i2 = CommandFrameText::ReadSigned(ui->lineEdit_param6->text());
    ui->text_edit_send->setPlainText(CommandFrameText::BuildText(fields));
}

void SerialPortAssistantWidget::on_btn_parse_command_clicked()
{
    const QString text = ui->text_edit_send->toPlainText();
    if (text.isEmpty()) {
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), QStringLiteral("解析内容不能为空"));
        return;
    }
    // Pairs separated by blanks or line breaks read as well as by commas.
    const QByteArray bytes =
        CommandFrameText::ParseBytes(AssistantText::FrameParts(text).join(QLatin1Char(',')))
            .left(CommandFrameText::kFrameSize);
    if (bytes.isEmpty()) {
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), QString::fromUtf8(kFrameFormatText));
        return;
    }
    const CommandFields fields = CommandFrameText::FieldsFromBytes(bytes);
    ui->lineEdit_id->setText(QString::number(fields.cmd));
    ui->lineEdit_param1->setText(CommandFrameText::FloatText(fields.f1));
    ui->lineEdit_param2->setText(CommandFrameText::FloatText(fields.f2));
    ui->lineEdit_param3->setText(QString::number(fields.u1));
    ui->lineEdit_param4->setText(QString::number(fields.u2));
    ui->lineEdit_param5->setText(QString::number(fields.i1));
    ui->lineEdit_param6->setText(QString::number(fields.i2));
}

bool SerialPortAssistantWidget::CheckFrameIsAva(QList<unsigned char> list)
{
    return AssistantText::CheckFrameIsAva(list);
}

void SerialPortAssistantWidget::on_btn_check_cmd_clicked()
{
    const QString format = QString::fromUtf8(kFrameFormatText);
    switch (AssistantText::CheckFrameText(ui->text_edit_send->toPlainText())) {
    case AssistantText::FrameCheck::Empty:
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), QStringLiteral("命令不能为空"));
        break;
    case AssistantText::FrameCheck::BadCharacter:
    case AssistantText::FrameCheck::TooFewParts:
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), format);
        break;
    case AssistantText::FrameCheck::TooShort:
        DialogSeam::ShowCritical(this, QStringLiteral("错误"), QStringLiteral("检验字符串长度过短"));
        break;
    case AssistantText::FrameCheck::Passed:
        DialogSeam::ShowInformation(this, QStringLiteral("提示"), QStringLiteral("校验通过"));
        break;
    case AssistantText::FrameCheck::Failed:
        DialogSeam::ShowCritical(this, QStringLiteral("错误"), QStringLiteral("校验失败"));
        break;
    }
}

// ---- AT-command table ------------------------------------------------------

QJsonObject SerialPortAssistantWidget::ReadJson(const QString& path)
{
    return AtCommandFile::ReadJson(path);
}

void SerialPortAssistantWidget::WriteJson(const QString& path, const QJsonObject& obj)
{
    AtCommandFile::WriteJson(path, obj);
}

void SerialPortAssistantWidget::AppendJsonData(const QString& path, const QString& command,
                                               const QString& description)
{
    AtCommandFile::AppendJsonData(path, command, description);
}

void SerialPortAssistantWidget::SetCellEditable(int row, int column, bool editable)
{
    QTableWidgetItem* item = ui->tableWidget_at->item(row, column);
    if (item == nullptr) {
        return;
    }
    item->setFlags(editable ? (item->flags() | Qt::ItemIsEditable) : (item->flags() & ~Qt::ItemIsEditable));
}

void SerialPortAssistantWidget::FillAtRow(int row, const QString& command, const QString& description)
{
    QTableWidget* table = ui->tableWidget_at;
    table->setItem(row, 0, new QTableWidgetItem(command));
    table->setItem(row, 1, new QTableWidgetItem(description.isEmpty() ? QString::fromUtf8(kNoDescription)
                                                                      : description));
    SetCellEditable(row, 0, false);
    SetCellEditable(row, 1, false);
    AddBtnToAtTableItem(row);
}

void SerialPortAssistantWidget::AddBtnToAtTableItem(int row)
{
    auto make = [this, row](const QString& text, void (SerialPortAssistantWidget::*slot)()) {
        auto* button = new QPushButton(text);
        connect(button, &QPushButton::clicked, this, slot);
        button->setStyleSheet(QString::fromLatin1(kButtonStyle));
        button->setProperty("index", row);
        return button;
    };
    QPushButton* select = make(QStringLiteral("选择"), &SerialPortAssistantWidget::slot_select_at_commadn_table_item);
    QPushButton* edit = make(QStringLiteral("编辑"), &SerialPortAssistantWidget::slot_modify_at_command_table_item);
    QPushButton* remove = make(QStringLiteral("删除"), &SerialPortAssistantWidget::slot_delete_at_command_table_item);
    m_select_buttons.append(select);
    m_edit_buttons.append(edit);
    m_delete_buttons.append(remove);
    ui->tableWidget_at->setCellWidget(row, 2, select);
    ui->tableWidget_at->setCellWidget(row, 3, edit);
    ui->tableWidget_at->setCellWidget(row, 4, remove);
}

void SerialPortAssistantWidget::InsertDataToRow(int row, QStringList cells)
{
    for (int column = 0; column < 4 && column < cells.size(); ++column) {
        ui->tableWidget_cmd_index->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
}

void SerialPortAssistantWidget::InitTableWidget()
{
    const QString path = SettingManager::GetInstance()->GetSerialAssistantATConfigPath();
    bool unreadable = false;
    const QJsonObject obj = AtCommandFile::ReadJson(path, &unreadable);
    AtCommandFile::ExtractLists(obj, &m_commands, &m_descriptions);
    m_at_file_unreadable = unreadable;
    if (unreadable) {
        // Told once the page is up; the file stays as the user left it.
        QTimer::singleShot(0, this, [this, path]() {
            DialogSeam::ShowWarning(this, QStringLiteral("警告"), AtCommandFile::UnreadableText(path));
        });
    }

    QTableWidget* table = ui->tableWidget_at;
    table->setWindowTitle(QStringLiteral("AT指令"));
    table->setRowCount(m_commands.size());
    table->setColumnCount(5);
    table->setHorizontalHeaderLabels(AtHeaderLabels());
    table->verticalHeader()->setVisible(true);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int i = 0; i < m_commands.size(); ++i) {
        FillAtRow(i, m_commands.at(i), m_descriptions.at(i));
    }
    m_at_row_count = m_commands.size();

    QTableWidget* index = ui->tableWidget_cmd_index;
    index->verticalHeader()->setVisible(false);
    index->setColumnCount(4);
    index->setHorizontalHeaderLabels(
        {QStringLiteral("命令ID"), QStringLiteral("参数1"), QStringLiteral("参数3"), QStringLiteral("功能描述")});
    index->setRowCount(10);
    index->setEditTriggers(QAbstractItemView::NoEditTriggers);
    InsertDataToRow(0, {"命令ID", "参数1", "参数3", "功能描述"});
    InsertDataToRow(1, {"1", "0", "0", "触发获取一次系统状态数据"});
    InsertDataToRow(2, {"2", "0", "0", "触发获取一次AHRS数据"});
    InsertDataToRow(3, {"3", "<mode>", "0",
                        "设置输出模式：\nMode=1,数据流输出AHRS\nMode=100,禁止数据流模式，进入COMMAD模式"});
    InsertDataToRow(4, {"5", "0", "0", "保存当前参数到FLASH"});
    InsertDataToRow(5, {"6", "0", "<value>",
                        "读取参数，value为要读取的参数索引,\n例如需读取串口输出波特率,则设置value=3;\n"
                        "读取AHRS输出频率(ODR),则设置value=21;\n读取内部波特率配置，则设置value=31"});
    InsertDataToRow(6, {"9", "0", "0", "执行软件重启"});
    InsertDataToRow(7, {"14", "<value>", "3",
                        QStringLiteral("设置串口输出波特率，单位bps，value的有效值为：\n")
                            + QStringLiteral("115200，230400，460800，921600，1500000\n")
                            + QStringLiteral("value为其他值时,默认采用115200bps\n")
                            + QStringLiteral("设置波特率参数后，需要重启才能生效。\n")
                            + QStringLiteral("不断电的设置流程：设置波特率，保存参数到flash，执行软件复位")});
    InsertDataToRow(8, {"14", "<value>", "21",
                        QStringLiteral("设置周期性AHRS数据输出频率，单位Hz，value的有效值为：\n")
                            + QStringLiteral("1，10，50，100，200，400\n")
                            + QStringLiteral("value为其他值时，默认采用100Hz\n")
                            + QStringLiteral("设置200Hz及以上输出频率，需要将波特率相应提高到115200以\n")
                            + QStringLiteral("上，满足宽带需求")});
    InsertDataToRow(9, {"14", "<value>", "31",
                        QStringLiteral("内部滤波器配置，定义同SPI加速度计和陀螺仪滤波配\n")
                            + QStringLiteral("置，默认0xBB，即47Hz")});
    index->resizeRowsToContents();
    index->resizeColumnsToContents();
}

int SerialPortAssistantWidget::RowOfSender() const
{
    auto* button = qobject_cast<QPushButton*>(sender());
    if (button == nullptr) {
        return -1;
    }
    return button->property("index").toInt();
}

void SerialPortAssistantWidget::slot_edit_btn()
{
    LOG_DEBUG() << QStringLiteral("按钮所在行索引:") << (sender() ? sender()->property("index").toInt() : -1);
}

void SerialPortAssistantWidget::slot_select_at_commadn_table_item()
{
    const int row = RowOfSender();
    if (row < 0) {
        return;
    }
    QTableWidgetItem* item = ui->tableWidget_at->item(row, 0);
    if (item == nullptr) {
        return;
    }
    ui->text_edit_send->clear();
    ui->text_edit_send->setPlainText(item->text());
}

void SerialPortAssistantWidget::slot_modify_at_command_table_item()
{
    auto* button = qobject_cast<QPushButton*>(sender());
    if (button == nullptr) {
        return;
    }
    const int row = button->property("index").toInt();
    if (button->text() == QStringLiteral("编辑")) {
        LOG_DEBUG() << QStringLiteral("编辑");
        button->setText(QStringLiteral("完成"));
        SetCellEditable(row, 0, true);
        SetCellEditable(row, 1, true);
        return;
    }
    if (button->text() != QStringLiteral("完成")) {
        return;
    }
    QTableWidgetItem* commandItem = ui->tableWidget_at->item(row, 0);
    QTableWidgetItem* descriptionItem = ui->tableWidget_at->item(row, 1);
    const QString command = commandItem != nullptr ? commandItem->text() : QString();
    if (command.isEmpty()) {
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), QStringLiteral("AT指令不能为空"));
        return;
    }
    QString description = descriptionItem != nullptr ? descriptionItem->text() : QString();
    if (description.isEmpty()) {
        description = QString::fromUtf8(kEmptyDescription);
        if (descriptionItem != nullptr) {
            descriptionItem->setText(description);
        }
    }
    if (row >= 0 && row < m_commands.size()) {
        m_commands[row] = command;
        m_descriptions[row] = description;
        SaveAtLists();
    }
    LOG_DEBUG() << QStringLiteral("完成");
    button->setText(QStringLiteral("编辑"));
    SetCellEditable(row, 0, false);
    SetCellEditable(row, 1, false);
}

void SerialPortAssistantWidget::slot_delete_at_command_table_item()
{
    const int row = RowOfSender();
    if (row < 0) {
        return;
    }
    LOG_DEBUG() << QStringLiteral("删除");
    if (row >= m_commands.size()) {
        return;
    }
    m_commands.remove(row);
    m_descriptions.remove(row);
    SaveAtLists();

    QTableWidget* table = ui->tableWidget_at;
    // The pressed button is among those replaced: its slot is still running,
    // so the table disposes of the old buttons later, not now.
    for (int r = 0; r < table->rowCount(); ++r) {
        for (int c = 2; c < 5; ++c) {
            table->removeCellWidget(r, c);
        }
    }
    m_select_buttons.clear();
    m_edit_buttons.clear();
    m_delete_buttons.clear();
    table->clear();
    table->setHorizontalHeaderLabels(AtHeaderLabels());
    for (int i = 0; i < m_commands.size(); ++i) {
        FillAtRow(i, m_commands.at(i), m_descriptions.at(i));
    }
    for (int i = 0; i < m_select_buttons.size(); ++i) {
        m_autoResizer->addNoAutoResizeItem(m_select_buttons.at(i));
        m_autoResizer->addNoAutoResizeItem(m_edit_buttons.at(i));
        m_autoResizer->addNoAutoResizeItem(m_delete_buttons.at(i));
    }
    table->removeRow(table->rowCount() - 1);
    --m_at_row_count;
}

void SerialPortAssistantWidget::SaveAtLists()
{
    QString error;
    if (!AtCommandFile::WriteLists(SettingManager::GetInstance()->GetSerialAssistantATConfigPath(), m_commands,
                                   m_descriptions, &error)) {
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), error);
    }
}

void SerialPortAssistantWidget::on_btn_add_at_command_clicked()
{
    const QString path = SettingManager::GetInstance()->GetSerialAssistantATConfigPath();
    if (m_at_file_unreadable) {
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), AtCommandFile::UnreadableText(path));
        return;
    }
    SerialCustomDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const QString command = dialog.getString1();
    if (command.isEmpty()) {
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), QStringLiteral("AT指令不能为空"));
        return;
    }
    QString description = dialog.getString2();
    if (description.isEmpty()) {
        description = QString::fromUtf8(kEmptyDescription);
    }
    QString error;
    if (!AtCommandFile::AppendJsonData(path, command, description, &error)) {
        // Not stored, so not listed either.
        DialogSeam::ShowWarning(this, QStringLiteral("警告"), error);
        return;
    }

    QTableWidget* table = ui->tableWidget_at;
    table->insertRow(table->rowCount());
    FillAtRow(m_at_row_count, command, description);
    ++m_at_row_count;
    table->scrollToBottom();
    m_commands.append(command);
    m_descriptions.append(description);
}
