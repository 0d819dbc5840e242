#ifndef DECODERUN_H
#define DECODERUN_H

// One offline decoding of a recording held in memory, for the decoder's
// fuzz targets: the final status and every table it wrote.

#include "commom/Global.h"
#include "commom/Logger.h"
#include "dialogs/general/WorkerThreadDecode.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <cstdlib>

struct DecodeRun
{
    QString final;
    QMap<QString, QByteArray> tables;
    uint32_t successes = 0;

    bool operator==(const DecodeRun& other) const
    {
        return final == other.final && tables == other.tables && successes == other.successes;
    }

    // threads: rows formatted beside the decoding thread (0: none), in
    // small batches so that a short input still makes several.
    static DecodeRun Of(const QByteArray& recording, int type, int threads)
    {
        static int argc = 1;
        static char name[] = "fuzz_decoder";
        static char* argv[] = {name, nullptr};
        static QCoreApplication* app = new QCoreApplication(argc, argv);
        static QTemporaryDir* dir = new QTemporaryDir();
        (void)app;
        Logger::SetLevel(Logger::Error);

        const QString source = dir->path() + "/rec.dat";
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(recording) != recording.size()) {
            std::abort();
        }
        file.close();
        const QString folder = dir->path() + "/out";
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);

        DecodeRun run;
        WorkerThreadDecode::SetRowThreads(threads, 512);
        g_decode_exit = false;
        WorkerThreadDecode worker;
        QObject::connect(&worker, &WorkerThreadDecode::SignalLog, [&run](uint8_t label, QString text) {
            if (label) {
                run.final = text;
            }
        });
        worker.slot_do_file_decode(source, folder, type);
        run.successes = decode_success_count;
        for (const QString& table : QDir(folder).entryList(QDir::Files)) {
            QFile f(folder + "/" + table);
            if (!f.open(QIODevice::ReadOnly)) {
                std::abort();
            }
            run.tables.insert(table, f.readAll());
        }
        return run;
    }
};

#endif // DECODERUN_H
