#include "manager/Reflector.h"

void Reflector::registerFactory(const QString& className, Factory factory)
{
    m_factories[className] = std::move(factory);
}

bool Reflector::IsRegistered(const QString& className) const
{
    auto it = m_factories.find(className);
    return it != m_factories.end() && static_cast<bool>(it->second);
}

QWidget* Reflector::CreateObject(const QString& className) const
{
    auto it = m_factories.find(className);
    if (it == m_factories.end() || !it->second) {
        return nullptr;
    }
    return it->second();
}

QStringList Reflector::RegisteredNames() const
{
    QStringList names;
    for (const auto& entry : m_factories) {
        names.append(entry.first);
    }
    return names;
}
