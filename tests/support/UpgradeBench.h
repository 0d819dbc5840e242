#ifndef UPGRADEBENCH_H
#define UPGRADEBENCH_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>

#include "widgets/general/UpgradeProcessInformation.h"

class FakeBootloader;
class FirmwareUpgradeWidget;
class PtyDevice;
class QThread;
class WorkerThreadImu;

// The whole serial upgrade chain for end-to-end tests: a pty whose far end
// a FakeBootloader plays, a device worker on its own thread connected to
// it, the upgrade page, and a record of every report and 812 the page
// sees. The working directory is a temporary folder while the bench is up,
// so the engine's temporary files can be looked for.
class UpgradeBench
{
public:
    struct Report
    {
        UpgradeProcessInformation info;
        QString text;
    };

    UpgradeBench() = default;
    ~UpgradeBench();
    UpgradeBench(const UpgradeBench&) = delete;
    UpgradeBench& operator=(const UpgradeBench&) = delete;

    // Opens the pty through the worker and builds the page; false when
    // something of it failed.
    bool SetUp();
    void TearDown();
    // Before each test: drains the line and forgets earlier reports.
    void Reset();

    QString WriteFirmware(const QString& name, const QByteArray& bytes) const;
    QString FilePath(const QString& name) const;
    // Types the path into the page and clicks its upgrade button.
    void Start(const QString& path);
    void ClickUpgradeButton();
    // Caption "升级" and the running flag clear.
    bool PageIdle() const;
    // Plays the bootloader until the page is idle; step runs on every turn.
    bool RunToIdle(FakeBootloader& fake, int timeoutMs, const std::function<void()>& step = {});
    // The same for any other device the test plays: pump(waitMs) reads and
    // answers what the host wrote.
    bool RunToIdle(const std::function<void(int)>& pump, int timeoutMs, const std::function<void()>& step = {});
    // Checks the radio button of the upgrade mode by its object name.
    void SelectMode(const char* radioName);
    QStringList DialogTexts() const;
    bool NoTempFiles() const;

    PtyDevice& Pty() { return *m_pty; }
    FirmwareUpgradeWidget* Page() const { return m_page; }
    QString LabelText(const char* name) const;
    QString LogText() const;
    QString ButtonText() const;
    const QList<Report>& Reports() const { return m_reports; }
    int Disconnects() const { return m_disconnects; }
    bool RunningAtDisconnect() const { return m_runningAtDisconnect; }

    // What the host must write to reboot a device into its bootloader.
    static QByteArray ExpectedRebootSequence();
    // A plain image whose header names type G (byte 6 = 2), enciphered as
    // the cipher tool would.
    static QByteArray EncipheredImage(int plainSize, QByteArray* plainOut = nullptr);
    // An enciphered image whose header names no known type (byte 6 = 3).
    static QByteArray UnknownTypeImage();
    static QByteArray Encipher(const QByteArray& plain);
    // A file's bytes ("<unreadable>" when it cannot be read).
    static QByteArray ReadFile(const QString& path);
    // A 34-byte long command frame.
    static QByteArray LongCommand(uint16_t cmd, float f1, float f2, uint32_t u1, uint32_t u2, int32_t i1,
                                  int32_t i2);

private:
    QTemporaryDir m_dir;
    QString m_oldCwd;
    PtyDevice* m_pty = nullptr;
    QThread* m_thread = nullptr;
    WorkerThreadImu* m_worker = nullptr;
    FirmwareUpgradeWidget* m_page = nullptr;
    QObject m_context;
    QList<Report> m_reports;
    int m_disconnects = 0;
    bool m_portOpened = false;
    bool m_runningAtDisconnect = true;
};

#endif // UPGRADEBENCH_H
