#ifndef RECORDINGSWITCH_H
#define RECORDINGSWITCH_H

#include <QString>
#include <QVariant>

// The pages' side of the worker's raw recordings (AHRS, 33-IMU, pedestrian
// navigation, serial assistant), one kind per request id IMU_MSG_RECORD_*:
// start after checking that the file can be written, stop, and read the
// worker's report that a running recording has failed.
class RecordingSwitch
{
public:
    // Checks that path can take a recording; when it can, sets the kind's
    // global flag and asks the worker to start, the request carrying a new
    // identity of this start as var2. Otherwise returns false with the
    // reason in *error and changes or sends nothing.
    static bool Start(int requestId, const QString& path, QString* error);
    // Clears the kind's global flag and asks the worker to stop.
    static void Stop(int requestId);

    // True when the page answer (id, var1, var2) reports that the recording
    // of kind requestId to *path has failed: the worker has closed it, so
    // the kind's flag and *path are cleared. *error receives the reason.
    // Only a report about the kind's latest start counts: one still queued
    // from an earlier recording, even to the same file, is not about the
    // one running now.
    static bool TakeFailure(int requestId, QString* path, int id, const QVariant& var1, const QVariant& var2,
                            QString* error);

    // Message shown by a page whose recording has failed and stopped.
    static QString FailureMessage(const QString& error);
};

#endif // RECORDINGSWITCH_H
