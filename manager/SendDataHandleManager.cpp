#include "manager/SendDataHandleManager.h"

std::unique_ptr<SendDataHandleManager> SendDataHandleManager::m_instance;

SendDataHandleManager::SendDataHandleManager() : QObject(nullptr) {}

SendDataHandleManager::~SendDataHandleManager() = default;

SendDataHandleManager* SendDataHandleManager::GetInstance()
{
    if (!m_instance) {
        m_instance.reset(new SendDataHandleManager());
    }
    return m_instance.get();
}

void SendDataHandleManager::SendMessageToIMU(int id, QVariant var1, QVariant var2)
{
    emit SignalSendMessageToIMU(id, var1, var2);
}
