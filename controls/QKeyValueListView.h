#ifndef QKEYVALUELISTVIEW_H
#define QKEYVALUELISTVIEW_H

#include <QMap>
#include <QMutex>
#include <QString>
#include <QTableWidget>

// A two-column name and value table refreshed from a map that other threads
// may fill: a writer changes the entries under the lock, then emits
// listUpdate(); the refresh runs on the table's own thread.
class QKeyValueListView : public QTableWidget
{
    Q_OBJECT
public:
    explicit QKeyValueListView(QWidget* parent = nullptr);
    ~QKeyValueListView() override = default;

    // The entries and their lock, for the writers.
    QMap<QString, QString>& Entries() { return m_entries; }
    QMutex* Lock() { return &m_lock; }

    // Convenience for a writer on any thread: takes the lock, stores or
    // removes the entry and asks for a refresh.
    void SetValue(const QString& name, const QString& value);
    void RemoveValue(const QString& name);

signals:
    void listUpdate();

public slots:
    void listUpdate_slot();

private:
    QMap<QString, QString> m_entries;
    QMutex m_lock;
};

#endif // QKEYVALUELISTVIEW_H
