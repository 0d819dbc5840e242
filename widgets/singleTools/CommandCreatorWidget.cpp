#include "widgets/singleTools/CommandCreatorWidget.h"

#include "ui_CommandCreatorWidget.h"

#include <QHeaderView>
#include <QRegularExpressionValidator>
#include <QResizeEvent>
#include <QTableWidgetItem>

#include "commom/DialogSeam.h"
#include "commom/Global.h"
#include "controls/AutoResizer.h"
#include "manager/SendDataHandleManager.h"
#include "workerThread/MessageIds.h"
#include "workerThread/PayloadTypes.h"

CommandCreatorWidget::CommandCreatorWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::CommandCreatorWidget)
{
    ui->setupUi(this);
    InitAutoResize();
    InitWidget();
    InitTable();
    // Word boundaries first; a long run of hex pairs without blanks still wraps.
    ui->textEdit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    ui->textEdit_parse_cmd->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
}

CommandCreatorWidget::~CommandCreatorWidget() = default;

void CommandCreatorWidget::InitAutoResize()
{
    m_autoResizer.reset(new AutoResizer(this, width(), height()));
    m_autoResizer->setAutoResizeFlag(AutoResizer::INCLUDE_LABEL | AutoResizer::INCLUDE_BUTTON
                                     | AutoResizer::INCLUDE_EDITOR | AutoResizer::INCLUDE_COMBOBOX);
    m_autoResizer->addAutoResizeItem(ui->groupBox);
    m_autoResizer->addAutoResizeItem(ui->textEdit_parse_cmd);
    m_autoResizer->addAutoResizeItem(ui->textEdit);
    m_autoResizer->doneAllResizeItem();
}

void CommandCreatorWidget::resizeEvent(QResizeEvent* event)
{
    if (m_autoResizer) {
        m_autoResizer->doAutoResize();
    }
    QWidget::resizeEvent(event);
}

void CommandCreatorWidget::InitWidget()
{
    const QRegularExpression digits("[0-9]+");
    for (QLineEdit* edit : {ui->lineEditId, ui->lineEdit3, ui->lineEdit4, ui->lineEdit5, ui->lineEdit6}) {
        edit->setValidator(new QRegularExpressionValidator(digits, edit));
    }
}

void CommandCreatorWidget::InsertDataToRow(int row, const QStringList& cells)
{
    for (int column = 0; column < cells.size() && column < 4; ++column) {
        auto* item = new QTableWidgetItem(cells.at(column));
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        ui->tableWidgetCmdDescribe->setItem(row, column, item);
    }
}

void CommandCreatorWidget::InitTable()
{
    QTableWidget* table = ui->tableWidgetCmdDescribe;
    table->setColumnCount(4);
    table->setRowCount(9);
    table->setHorizontalHeaderLabels({"命令ID", "参数1", "参数3", "功能描述"});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->setVisible(false);

    InsertDataToRow(0, {"1", "0", "0", "触发获取一次系统状态数据"});
    InsertDataToRow(1, {"2", "0", "0", "触发获取一次AHRS数据"});
    InsertDataToRow(2, {"3", "<mode>", "0",
                        "设置输出模式：\nMode=1,数据流输出AHRS\nMode=100,禁止数据流模式，进入COMMAD模式"});
    InsertDataToRow(3, {"5", "0", "0", "保存当前参数到FLASH"});
    InsertDataToRow(4, {"6", "0", "<value>",
                        "读取参数，value为要读取的参数索引,\n例如需读取串口输出波特率,则设置value=3;\n"
                        "读取AHRS输出频率(ODR),则设置value=21;\n读取内部波特率配置，则设置value=31"});
    InsertDataToRow(5, {"9", "0", "0", "执行软件重启"});
    InsertDataToRow(6, {"14", "<value>", "3",
                        QString::fromUtf8("设置串口输出波特率，单位bps，value的有效值为：\n")
                            + QString::fromUtf8("115200，230400，460800，921600，1500000\n")
                            + QString::fromUtf8("value为其他值时,默认采用115200bps\n")
                            + QString::fromUtf8("设置波特率参数后，需要重启才能生效。\n")
                            + QString::fromUtf8("不断电的设置流程：设置波特率，保存参数到flash，执行软件复位")});
    InsertDataToRow(7, {"14", "<value>", "21",
                        QString::fromUtf8("设置周期性AHRS数据输出频率，单位Hz，value的有效值为：\n")
                            + QString::fromUtf8("1，10，50，100，200，400\n")
                            + QString::fromUtf8("value为其他值时，默认采用100Hz\n")
                            + QString::fromUtf8("设置200Hz及以上输出频率，需要将波特率相应提高到115200以\n")
                            + QString::fromUtf8("上，满足宽带需求")});
    InsertDataToRow(8, {"14", "<value>", "31",
                        QString::fromUtf8("内部滤波器配置，定义同SPI加速度计和陀螺仪滤波配\n")
                            + QString::fromUtf8("置，默认0xBB，即47Hz")});
    // Columns first, so that each row is as tall as its text at that width.
    table->resizeColumnsToContents();
    table->resizeRowsToContents();
}

void CommandCreatorWidget::CheckContent()
{
    for (QLineEdit* edit : {ui->lineEditId, ui->lineEdit1, ui->lineEdit2, ui->lineEdit3, ui->lineEdit4,
                            ui->lineEdit5, ui->lineEdit6}) {
        if (edit->text().isEmpty()) {
            edit->setText("0");
        }
    }
}

CommandFields CommandCreatorWidget::ReadFields() const
{
    CommandFields fields;
    fields.cmd = CommandFrameText::ReadCommandId(ui->lineEditId->text());
    fields.f1 = CommandFrameText::ReadFloat(ui->lineEdit1->text());
    fields.f2 = CommandFrameText::ReadFloat(ui->lineEdit2->text());
    fields.u1 = CommandFrameText::ReadUnsigned(ui->lineEdit3->text());
    fields.u2 = CommandFrameText::ReadUnsigned(ui->lineEdit4->text());
    fields.i1 = CommandFrameText::ReadSigned(ui->lineEdit5->text());
    fields.i2 = CommandFrameText::ReadSigned(ui->lineEdit6->text());
    return fields;
}

void CommandCreatorWidget::on_buttonCreated_clicked()
{
    CheckContent();
    ui->textEdit->clear();
    ui->textEdit->setPlainText(CommandFrameText::BuildText(ReadFields()));
}

void CommandCreatorWidget::on_btn_parse_cmd_clicked()
{
    const QString text = ui->textEdit_parse_cmd->toPlainText();
    if (text.isEmpty()) {
        DialogSeam::ShowWarning(this, "警告", "解析内容不能为空");
        return;
    }
    const CommandFields fields = CommandFrameText::FieldsFromBytes(CommandFrameText::ParseBytes(text));
    ui->lineEditId->setText(QString::number(fields.cmd));
    ui->lineEdit1->setText(CommandFrameText::FloatText(fields.f1));
    ui->lineEdit2->setText(CommandFrameText::FloatText(fields.f2));
    ui->lineEdit3->setText(QString::number(fields.u1));
    ui->lineEdit4->setText(QString::number(fields.u2));
    ui->lineEdit5->setText(QString::number(fields.i1));
    ui->lineEdit6->setText(QString::number(fields.i2));
}

void CommandCreatorWidget::on_buttonSend_clicked()
{
    if (!g_communicate_with_serial_flag) {
        DialogSeam::ShowCritical(this, "错误", "未成功连接设备");
    }
    CheckContent();
    const CommandFields fields = ReadFields();
    RecvOneParameterPayload payload{};
    payload.p1 = fields.f1;
    payload.p2 = fields.f2;
    payload.p3 = fields.u1;
    payload.p4 = fields.u2;
    payload.p5 = fields.i1;
    payload.p6 = fields.i2;
    SendDataHandleManager::GetInstance()->SendMessageToIMU(IMU_MSG_SEND_COMMAND, QVariant::fromValue(payload),
                                                           QVariant::fromValue(static_cast<ushort>(fields.cmd)));
    DialogSeam::ShowInformation(this, "提示", "命令发送成功");
}
