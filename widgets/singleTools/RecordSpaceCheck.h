#ifndef RECORDSPACECHECK_H
#define RECORDSPACECHECK_H

#include <QString>

#include <cstdint>
#include <functional>

// Free space of the volume a recording would go to.
struct VolumeSpace
{
    bool valid = false;
    QString rootPath;           // the volume's mount point, e.g. "/" or "/home"
    int64_t availableBytes = 0; // available to this user
};

// Decides whether a raw recording may start on the volume of the chosen
// file: at least 20 GiB must be available. The volume query is a seam that
// tests replace.
class RecordSpaceCheck
{
public:
    static constexpr int64_t kMinFreeBytes = int64_t(20) << 30;

    using Query = std::function<VolumeSpace(const QString& folder)>;

    struct Result
    {
        bool allowed = true;
        bool volumeValid = false;
        QString volumeRoot;
        int64_t availableBytes = 0;
        QString message; // the warning text when refused
    };

    static Result Check(const QString& filePath);

    // The real query (QStorageInfo of the folder).
    static VolumeSpace QueryVolume(const QString& folder);
    // Replaces the query; an empty function restores the real one.
    static void SetQuery(Query query);
};

#endif // RECORDSPACECHECK_H
