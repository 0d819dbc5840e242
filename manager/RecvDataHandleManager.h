#ifndef RECVDATAHANDLEMANAGER_H
#define RECVDATAHANDLEMANAGER_H

#include <QObject>
#include <QVariant>

#include <memory>

// Device to pages and page to page: every open page hears every answer and
// acts on the ids it knows.
class RecvDataHandleManager : public QObject
{
    Q_OBJECT
public:
    static RecvDataHandleManager* GetInstance();
    ~RecvDataHandleManager() override;

    void SendMessageToPageSlot(int id, QVariant var1 = QVariant(), QVariant var2 = QVariant());
    void ResetPage();
    void CloseApp();

signals:
    void SignalSendMessageToPage(int id, QVariant var1 = QVariant(), QVariant var2 = QVariant());
    void SignalResetPage();
    void SignalCloseApp();

private:
    RecvDataHandleManager();
    static std::unique_ptr<RecvDataHandleManager> m_instance;
};

#endif // RECVDATAHANDLEMANAGER_H
