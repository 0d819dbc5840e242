#ifndef AHRSGROUPCOMMONWIDGET_H
#define AHRSGROUPCOMMONWIDGET_H

#include <QString>
#include <QWidget>

class QFile;

namespace Ui {
class AHRSGroupCommonWidget;
}

// Editor of the values every device on the production test bench must show
// (expected temperature, versions and fault codes). It opens as a window of
// its own and rewrites the whole settings file on each save.
class AHRSGroupCommonWidget : public QWidget
{
    Q_OBJECT
public:
    explicit AHRSGroupCommonWidget(QWidget* parent = nullptr);
    ~AHRSGroupCommonWidget() override;

    // Fills the fields from the settings file; 0, or -1 when the file cannot
    // be opened or holds no JSON document (the fields then keep their text).
    int ReadConfig();

    // Replaces the settings file by a document of exactly the nine keys.
    int ModifyConfig(double temp, int firmware, int hardware, const QString& board, int testCount,
                     int successCount, int configCode, int imuCode, int paramCode);

signals:
    void ReloadConfig();

private slots:
    void on_pushButton_clicked();

private:
    void InitWidget();
    bool OpenFile();
    // Takes the two counts from the settings file into the hidden fields:
    // the test page may have counted devices since the form was filled.
    void RefreshCounts();

    Ui::AHRSGroupCommonWidget* ui = nullptr;
    QString m_config_path;
    QFile* m_file = nullptr;
};

#endif // AHRSGROUPCOMMONWIDGET_H
