#ifndef SERIALDATAWIDGET_H
#define SERIALDATAWIDGET_H

#include <QVariant>
#include <QWidget>

namespace Ui {
class SerialDataWidget;
}

// A running hexadecimal view of received byte blocks, one time-stamped line
// per block, emptied every thousand lines so it never grows without bound.
class SerialDataWidget : public QWidget
{
    Q_OBJECT
public:
    explicit SerialDataWidget(QWidget* parent = nullptr);
    ~SerialDataWidget() override;

    // The view's line for one block received at the given time.
    static QString FormatLine(const QDateTime& time, const QByteArray& bytes);

    int GetLineCount() const { return m_line_count; }
    qint64 GetTotalBytes() const { return m_total_bytes; }

public slots:
    void slot_message(int id, QVariant var1, QVariant var2);
    void on_button_clear_recv_clicked();

private:
    Ui::SerialDataWidget* ui = nullptr;
    int m_line_count = 0;
    int m_line_limit = 1000;
    qint64 m_total_bytes = 0;
};

#endif // SERIALDATAWIDGET_H
