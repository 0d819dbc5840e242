#include "commom/StartUp.h"

#include "commom/CommonFunction.h"
#include "commom/Logger.h"
#include "widgets/general/UpLoadData.h"
#include "widgets/general/UpgradeProcessInformation.h"
#include "workerThread/PayloadTypes.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QTranslator>
#include <QList>
#include <QMetaType>
#include <QVariant>

#include <string>

Q_DECLARE_METATYPE(std::string)

void InitCorvantaResources()
{
    Q_INIT_RESOURCE(resources);
}

void InitLog()
{
    Logger::SetLevel(Logger::Trace);
    const QString folder = QDir::currentPath() + "/log/";
    QDir dir(folder);
    if (!dir.exists()) {
        dir.mkdir(folder);
    }
    const QString fileName = folder + GetCurrentDateTime("yyyy-MM-dd hh-mm-ss") + "-log.txt";
    Logger::Init(fileName);
    Logger::SetLevel(Logger::Debug);
}

bool InstallQtTranslations()
{
    if (!qApp) {
        return false;
    }
    const QString folder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    bool installed = false;
    for (const char* catalog : {"qtbase_zh_CN", "qt_zh_CN"}) {
        auto* translator = new QTranslator(qApp);
        if (translator->load(QString::fromLatin1(catalog), folder) && QCoreApplication::installTranslator(translator)) {
            installed = true;
        } else {
            LOG_INFO() << "Qt翻译文件未加载" << catalog << folder;
            delete translator;
        }
    }
    return installed;
}

void RegsiterMetaType()
{
    qRegisterMetaType<unsigned char>("uint8_t");
    qRegisterMetaType<unsigned short>("uint16_t");
    qRegisterMetaType<unsigned int>("uint32_t");
    qRegisterMetaType<quint64>("uint64_t");
    qRegisterMetaType<signed char>("int8_t");
    qRegisterMetaType<short>("int16_t");
    qRegisterMetaType<int>("int32_t");
    qRegisterMetaType<qint64>("int64_t");
    qRegisterMetaType<QString>("QString");
    qRegisterMetaType<QList<QVariant>>("QList<QVariant>");
    qRegisterMetaType<int>("int");
    qRegisterMetaType<std::string>("string");

    // Bus payload types, each under its own name.
    qRegisterMetaType<AhrsData>("AhrsData");
    qRegisterMetaType<ImuParamData>("ImuParamData");
    qRegisterMetaType<RecvOneParameterPayload>("RecvOneParameterPayload");
    qRegisterMetaType<AhrsArrayData>("AhrsArrayData");
    qRegisterMetaType<ImuParamPayload>("ImuParamPayload");
    qRegisterMetaType<CmdAckPayload>("CmdAckPayload");
    qRegisterMetaType<ImuTestParamUart>("ImuTestParamUart");
    qRegisterMetaType<RetestParamData>("RetestParamData");
    qRegisterMetaType<UpLoadData>("UpLoadData");
    qRegisterMetaType<UpgradeProcessInformation>("UpgradeProcessInformation");
    qRegisterMetaType<ArrayImuI2cPayloadCalibPublish>("ArrayImuI2cPayloadCalibPublish");
    qRegisterMetaType<PeopleNavPayload>("PeopleNavPayload");
    qRegisterMetaType<FirmwareInfoPayload>("FirmwareInfoPayload");
    qRegisterMetaType<SerialState>("SerialState");
    qRegisterMetaType<ParamTableReqType>("ParamTableReqType");
}

QByteArray ReadQssData(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    QByteArray bytes = file.readAll();
    file.close();
    return bytes;
}

void ApplyStyleSheet(const QByteArray& qss)
{
    if (qss.isEmpty() || !qApp) {
        return;
    }
    const int nul = qss.indexOf('\0');
    qApp->setStyleSheet(QString::fromUtf8(nul >= 0 ? qss.left(nul) : qss));
}

QRect MainWindowPlacement(const QSize& screen, const QSize& window)
{
    const int x = (screen.width() - window.width()) / 3;
    const int y = static_cast<int>((screen.height() - window.height()) / 3.5);
    const int width = static_cast<int>(screen.width() * 0.75);
    const int height = static_cast<int>(screen.height() * 0.8);
    return QRect(x, y, width, height);
}
