#ifndef SERIALPORTASSISTANTWIDGET_H
#define SERIALPORTASSISTANTWIDGET_H

#include <QByteArray>
#include <QFuture>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <QWidget>

#include <atomic>
#include <cstdint>

#include "widgets/singleTools/ReceiveViewBuffer.h"

class AutoResizer;
class QPushButton;
class QResizeEvent;
class QTimer;

namespace Ui {
class SerialPortAssistantWidget;
}

// The serial terminal "串口助手": a terminal on the connected device's port.
// Received bytes come from the device worker over the bus, typed text or hex
// goes out through the port manager, and a raw recording of the stream is
// asked of the worker. The page also carries the command-frame box and the
// AT-command table.
class SerialPortAssistantWidget : public QWidget
{
    Q_OBJECT
public:
    explicit SerialPortAssistantWidget(QWidget* parent = nullptr);
    ~SerialPortAssistantWidget() override;

    // The AT list file, read and written through the GBK codec.
    QJsonObject ReadJson(const QString& path);
    void WriteJson(const QString& path, const QJsonObject& obj);
    void AppendJsonData(const QString& path, const QString& command, const QString& description);

    static bool CheckFrameIsAva(QList<unsigned char> list);
    static QString CheckAndReplace(const QString& text);

    bool IsLoopRunning() const { return m_loop_running.load(); }
    uint32_t SendCounter() const { return m_send_counter; }
    uint64_t RecvCounter() const { return m_recv_counter; }
    // One round of the display tick, without waiting for the timer.
    void RunDisplayTick() { FlushReceiveBuffer(); }

private slots:
    void on_btn_send_command_clicked();
    void slot_display_recv_data(int id, QVariant var1, QVariant var2);
    void on_btn_quick_command_clicked();
    void on_btn_clear_send_clicked();
    void on_btn_clear_recv_clicked();
    void on_checkBox_save_data_clicked(bool checked);
    void on_radioButton_send_set_ascii_clicked(bool checked);
    void on_radioButton_sen_set_hex_clicked(bool checked);
    void on_tabWidget_send_currentChanged(int index);
    void on_btn_parse_command_clicked();
    void on_btn_gen_command_clicked();
    void on_checkBox_show_time_msg_clicked(bool checked);
    void on_checkBox_while_clicked(bool checked);
    void on_checkBox_no_show_clicked(bool checked);
    void on_radioButton_recv_set_ascii_clicked(bool checked);
    void on_radioButton_recv_set_hex_clicked(bool checked);
    void slot_edit_btn();
    void slot_select_at_commadn_table_item();
    void slot_modify_at_command_table_item();
    void slot_delete_at_command_table_item();
    void on_btn_last_history_send_clicked();
    void on_btn_next_history_send_clicked();
    void on_btn_add_at_command_clicked();
    void on_btn_reset_recv_total_byte_clicked();
    void on_btn_view_cmd_index_clicked();
    void on_btn_check_cmd_clicked();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void InitParams();
    void InitTimer();
    void InitButton();
    void InitAutoResize();
    void InitTableWidget();

    void CheckContent();
    void AddBtnToAtTableItem(int row);
    void InsertDataToRow(int row, QStringList cells);
    void SetCellEditable(int row, int column, bool editable);
    void FillAtRow(int row, const QString& command, const QString& description);
    int RowOfSender() const;
    void SaveAtLists();

    void FlushReceiveBuffer();
    void ShowEndOfSend();
    void StartSendLoop(const QByteArray& bytes);
    void SendLoop(QByteArray bytes);
    QString SendPrefix() const;
    QString HistoryText(const QByteArray& bytes) const;
    static bool PortIsOpen();
    void NoteSent(const QString& text);
    void AddToSendCounter(uint32_t count);
    void StopRecording();

    Ui::SerialPortAssistantWidget* ui = nullptr;
    AutoResizer* m_autoResizer = nullptr;

    QTimer* m_display_timer = nullptr;
    ReceiveViewBuffer m_recv_buffer;
    bool m_quick_hidden = true;
    bool m_index_hidden = true;
    bool m_send_hex = false;
    bool m_auto_enter = true;
    std::atomic<bool> m_loop_checked{false};
    uint16_t m_loop_period = 0;
    std::atomic<bool> m_loop_running{false};
    bool m_show_time = true;
    bool m_display_paused = false;
    bool m_recv_hex = false;
    uint32_t m_send_counter = 0;
    uint64_t m_recv_counter = 0;
    uint16_t m_append_limit = 300;
    uint16_t m_append_count = 0;
    QTimer* m_end_of_send_timer = nullptr;
    QTimer* m_resize_timer = nullptr;

    QVector<QString> m_commands;
    QVector<QString> m_descriptions;
    // The table owns its cell widgets; these only follow them.
    QVector<QPointer<QPushButton>> m_select_buttons;
    QVector<QPointer<QPushButton>> m_edit_buttons;
    QVector<QPointer<QPushButton>> m_delete_buttons;
    int m_at_row_count = 0;
    // The list file is there but could not be read: it is never written.
    bool m_at_file_unreadable = false;

    // The file this page's recording writes to, while it runs.
    QString m_record_path;

    QStringList m_history;
    int m_history_index = 0;

    // Set only while the page goes away, so a running loop stops waiting.
    std::atomic<bool> m_closing{false};
    QFuture<void> m_loop_future;
};

#endif // SERIALPORTASSISTANTWIDGET_H
