#ifndef SENDDATAHANDLEMANAGER_H
#define SENDDATAHANDLEMANAGER_H

#include <QObject>
#include <QVariant>

#include <memory>

// Page to device: every request to the device worker goes through here.
class SendDataHandleManager : public QObject
{
    Q_OBJECT
public:
    static SendDataHandleManager* GetInstance();
    ~SendDataHandleManager() override;

    void SendMessageToIMU(int id, QVariant var1 = QVariant(), QVariant var2 = QVariant());

signals:
    void SignalSendMessageToIMU(int id, QVariant var1 = QVariant(), QVariant var2 = QVariant());

private:
    SendDataHandleManager();
    static std::unique_ptr<SendDataHandleManager> m_instance;
};

#endif // SENDDATAHANDLEMANAGER_H
