#ifndef REFLECTOR_H
#define REFLECTOR_H

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <map>

// Makes tool pages and dialogs from their class names: the menus, the
// display list and the registry only ever know a tool by that name.
class Reflector
{
public:
    using Factory = std::function<QWidget*()>;

    Reflector() = default;

    // Stores a factory that makes a parentless T; a later registration under
    // the same name replaces the earlier one.
    template <typename T>
    void registerClass(const QString& className)
    {
        m_factories[className] = []() -> QWidget* { return new T(nullptr); };
    }

    // Same, with a factory of the caller's choosing (tests use it).
    void registerFactory(const QString& className, Factory factory);

    bool IsRegistered(const QString& className) const;

    // A new object of the class, or null when no usable factory is known.
    QWidget* CreateObject(const QString& className) const;

    QStringList RegisteredNames() const;

private:
    std::map<QString, Factory> m_factories;
};

#endif // REFLECTOR_H
