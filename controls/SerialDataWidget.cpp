#include "controls/SerialDataWidget.h"

#include "ui_SerialDataWidget.h"

#include "manager/RecvDataHandleManager.h"

#include <QDateTime>

namespace {
// The answer id that carries received bytes to this view.
const int kRawBytesMessage = 1;
} // namespace

SerialDataWidget::SerialDataWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::SerialDataWidget)
{
    ui->setupUi(this);
    connect(RecvDataHandleManager::GetInstance(), &RecvDataHandleManager::SignalSendMessageToPage, this,
            &SerialDataWidget::slot_message);
}

SerialDataWidget::~SerialDataWidget()
{
    delete ui;
}

QString SerialDataWidget::FormatLine(const QDateTime& time, const QByteArray& bytes)
{
    return time.toString("yyyy-MM-dd hh:mm:ss:zzz") + " " + QString::fromLatin1(bytes.toHex(' ').toUpper()) + "\n";
}

void SerialDataWidget::slot_message(int id, QVariant var1, QVariant var2)
{
    Q_UNUSED(var2)
    if (id != kRawBytesMessage) {
        return;
    }
    const QByteArray bytes = var1.toByteArray();
    m_total_bytes += bytes.size();
    ui->labelRecv_v->setText(QString("%1 字节").arg(m_total_bytes));

    ++m_line_count;
    ui->textEdit->append(FormatLine(QDateTime::currentDateTime(), bytes));
    if (m_line_count >= m_line_limit) {
        m_line_count = 0;
        ui->textEdit->clear();
    }
}

void SerialDataWidget::on_button_clear_recv_clicked()
{
    m_line_count = 0;
    m_total_bytes = 0;
    ui->textEdit->clear();
    ui->labelRecv_v->setText(QString("%1 字节").arg(0));
}
