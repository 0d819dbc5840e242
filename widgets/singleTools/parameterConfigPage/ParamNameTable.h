#ifndef PARAMNAMETABLE_H
#define PARAMNAMETABLE_H

#include <QMap>
#include <QString>
#include <QStringList>

// Text names of the device's parameter ids 0 to 127. Names match exactly:
// case-sensitive, no trimming. Id 127 is the parameter count and id 126 the
// table checksum; tables exchanged with the device hold ids 0 to 126.
class ParamNameTable
{
public:
    static constexpr int kNameCount = 128;
    static constexpr int kTableCount = 127;
    static constexpr int kChecksumId = 126;
    static constexpr int kCountId = 127;

    // Name of an id, empty outside 0..127.
    static QString NameOf(int id);
    // True when name is a key; *id (when given) receives its id.
    static bool Lookup(const QString& name, int* id = nullptr);
    // The whole table as name to id.
    static QMap<QString, int> BuildMap();
    static QStringList NamesInIdOrder();
};

#endif // PARAMNAMETABLE_H
