#ifndef DATADECODEDIALOG_H
#define DATADECODEDIALOG_H

#include "dialogs/general/CustomDialog.h"

#include <QString>

#include <cstdint>

class QThread;
class WorkerThreadDecode;

namespace Ui {
class DataDecodeDialog;
}

// The single-tool menu's decoder: picks a recording and a destination folder
// and turns the recording into text tables on a worker thread.
class DataDecodeDialog : public CustomDialog
{
    Q_OBJECT
public:
    explicit DataDecodeDialog(QWidget* parent = nullptr);
    ~DataDecodeDialog() override;

    void SetEditButtonEnable(bool enable);
    void initWidget();

    QString SourcePath() const { return m_sourcePath; }
    QString DestinationFolder() const { return m_destFolder; }
    // True until the worker of the last start has stopped.
    bool IsWorkerRunning() const;

signals:
    void SignalFileDecode(QString source, QString destination, int decode_type);
    void SignalDeleteObjAndNewNext();
    void SignalStopParse();

public slots:
    void slot_rev_log_from_worker(uint8_t label, QString str);

private slots:
    void on_pushButton_openfile_for_decode_clicked();
    void on_buttonDest_clicked();
    void on_buttonDecode_clicked();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void StopAndDropWorker(bool cancel);
    void ShowStatus(const QString& text);

    Ui::DataDecodeDialog* ui = nullptr;
    QString m_sourcePath;
    QString m_destFolder;
    uint16_t m_decodeType = 0;
    QString m_rememberedFolder;
    QThread* m_thread = nullptr;
    WorkerThreadDecode* m_worker = nullptr;
};

#endif // DATADECODEDIALOG_H
