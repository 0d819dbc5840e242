#include "widgets/singleTools/RecordSpaceCheck.h"

#include <QFileInfo>
#include <QStorageInfo>

#include "commom/Logger.h"

namespace {
RecordSpaceCheck::Query& CurrentQuery()
{
    static RecordSpaceCheck::Query query;
    return query;
}
}

VolumeSpace RecordSpaceCheck::QueryVolume(const QString& folder)
{
    VolumeSpace space;
    QStorageInfo info(folder);
    if (!info.isValid() || !info.isReady()) {
        return space;
    }
    space.valid = true;
    space.rootPath = info.rootPath();
    space.availableBytes = info.bytesAvailable();
    return space;
}

void RecordSpaceCheck::SetQuery(Query query)
{
    CurrentQuery() = std::move(query);
}

RecordSpaceCheck::Result RecordSpaceCheck::Check(const QString& filePath)
{
    Result result;
    // The volume that will hold the file is the one of its folder.
    const QString folder = QFileInfo(filePath).absolutePath();
    const VolumeSpace space = CurrentQuery() ? CurrentQuery()(folder) : QueryVolume(folder);
    if (!space.valid) {
        LOG_DEBUG() << "Invalid path:" << folder;
        return result;
    }
    result.volumeValid = true;
    result.volumeRoot = space.rootPath;
    result.availableBytes = space.availableBytes;
    LOG_DEBUG() << "Free space:" << static_cast<qint64>(space.availableBytes >> 30) << "GB";
    if (space.availableBytes < kMinFreeBytes) {
        result.allowed = false;
        result.message = QStringLiteral("当前磁盘") + space.rootPath
            + QStringLiteral("剩余可用容量小于20GB，请清理磁盘");
    }
    return result;
}
