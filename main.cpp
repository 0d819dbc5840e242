#include "mainwindow.h"

#include "commom/CrashHandler.h"
#include "commom/Logger.h"
#include "commom/StartUp.h"
#include "commom/ThreadPool.h"
#include "manager/JsonDataManager.h"
#include "manager/SettingManager.h"

#include <QApplication>
#include <QScreen>
#include <QTextCodec>

int main(int argc, char* argv[])
{
    Q_INIT_RESOURCE(resources);

    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));

    QApplication app(argc, argv);

    InitLog();
    InstallQtTranslations();
    RegsiterMetaType();

    const QString crashFolder = CrashHandler::DefaultFolder();
    CrashHandler::Install(crashFolder);
    CrashHandler::ReportPreviousDumps(crashFolder);

    QByteArray qss;
    qss.append(ReadQssData(":/skin/resources/skin/skin.qss"));
    ApplyStyleSheet(qss);

    SettingManager::GetInstance();
    InitConfigInfoPath();
    JsonDataManager::GetInstance();
    ThreadPool::GetInstance();

    MainWindow window(nullptr);
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        window.setGeometry(MainWindowPlacement(screen->geometry().size(), window.size()));
    }
    window.Initializa();
    window.show();

    const int result = app.exec();

    Logger::Shutdown();
    return result;
}
