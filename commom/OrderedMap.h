#ifndef ORDEREDMAP_H
#define ORDEREDMAP_H

#include <QList>
#include <QMap>

#include <initializer_list>
#include <utility>

// A map that gives its keys back in the order they were first inserted;
// the tool menus are built from it in that order.
template <typename Key, typename Value>
class OrderedMap
{
public:
    OrderedMap() = default;
    OrderedMap(std::initializer_list<std::pair<const Key, Value>> rows)
    {
        for (const auto& row : rows) {
            m_keys.append(row.first);
            m_map[row.first] = row.second;
        }
    }

    void insert(const Key& key, const Value& value)
    {
        if (!m_map.contains(key)) {
            m_keys.append(key);
        }
        m_map.insert(key, value);
    }

    Value value(const Key& key, const Value& defaultValue = Value()) const
    {
        return m_map.value(key, defaultValue);
    }

    Value& operator[](const Key& key)
    {
        if (!m_map.contains(key)) {
            m_keys.append(key);
        }
        return m_map[key];
    }

    bool contains(const Key& key) const { return m_keys.contains(key); }

    void remove(const Key& key)
    {
        m_map.remove(key);
        m_keys.removeAll(key);
    }

    QList<Key> keys() const { return m_keys; }

    QList<Value> values() const
    {
        QList<Value> result;
        for (const Key& key : m_keys) {
            result.append(m_map.value(key));
        }
        return result;
    }

    int size() const { return m_keys.size(); }
    bool isEmpty() const { return m_keys.isEmpty(); }

    void clear()
    {
        m_keys.clear();
        m_map.clear();
    }

private:
    QList<Key> m_keys;
    QMap<Key, Value> m_map;
};

#endif // ORDEREDMAP_H
