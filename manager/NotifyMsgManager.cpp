#include "manager/NotifyMsgManager.h"

std::unique_ptr<NotifyMsgManager> NotifyMsgManager::m_instance;

NotifyMsgManager::NotifyMsgManager() : QObject(nullptr) {}

NotifyMsgManager::~NotifyMsgManager() = default;

NotifyMsgManager* NotifyMsgManager::GetInstance()
{
    if (!m_instance) {
        m_instance.reset(new NotifyMsgManager());
    }
    return m_instance.get();
}

void NotifyMsgManager::Dispatch(const QString& page, PageTypeId type, const QStringList& list)
{
    if (page == QLatin1String("ImuParameterConfigWidget")) {
        emit LogMsgParamConfig(type, list);
    } else if (page == QLatin1String("AllParameterWidget")) {
        emit LogMsgParamTable(type, list);
    }
}
