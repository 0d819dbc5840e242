#ifndef NOTIFYMSGMANAGER_H
#define NOTIFYMSGMANAGER_H

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// Status texts of the parameter get and set operations, addressed to the
// parameter page they are for.
class NotifyMsgManager : public QObject
{
    Q_OBJECT
public:
    // PAGE_TYPE_STATUS_END marks the last text of a request: the request
    // has ended and the page may start another.
    enum PageTypeId { PAGE_TYPE_STATUS = 0, PAGE_TYPE_STATUS_END = 1 };

    static NotifyMsgManager* GetInstance();
    ~NotifyMsgManager() override;

    template <typename... Args>
    void SendLogMsg(QString page, PageTypeId type, Args... args)
    {
        QStringList list;
        (list.append(ToText(args)), ...);
        Dispatch(page, type, list);
    }

signals:
    void LogMsgParamConfig(int type_id, QStringList list);
    void LogMsgParamTable(int type_id, QStringList list);

private:
    NotifyMsgManager();
    static QString ToText(const char* text) { return text ? QString::fromUtf8(text) : QString(); }
    static QString ToText(const QString& text) { return text; }
    void Dispatch(const QString& page, PageTypeId type, const QStringList& list);

    static std::unique_ptr<NotifyMsgManager> m_instance;
};

#endif // NOTIFYMSGMANAGER_H
