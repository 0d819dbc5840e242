#include "manager/RecvDataHandleManager.h"

std::unique_ptr<RecvDataHandleManager> RecvDataHandleManager::m_instance;

RecvDataHandleManager::RecvDataHandleManager() : QObject(nullptr) {}

RecvDataHandleManager::~RecvDataHandleManager() = default;

RecvDataHandleManager* RecvDataHandleManager::GetInstance()
{
    if (!m_instance) {
        m_instance.reset(new RecvDataHandleManager());
    }
    return m_instance.get();
}

void RecvDataHandleManager::SendMessageToPageSlot(int id, QVariant var1, QVariant var2)
{
    emit SignalSendMessageToPage(id, var1, var2);
}

void RecvDataHandleManager::ResetPage()
{
    emit SignalResetPage();
}

void RecvDataHandleManager::CloseApp()
{
    emit SignalCloseApp();
}
