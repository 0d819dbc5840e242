#ifndef COMMANDCREATORWIDGET_H
#define COMMANDCREATORWIDGET_H

#include <QStringList>
#include <QWidget>

#include <memory>

#include "widgets/singleTools/CommandFrameText.h"

class AutoResizer;
class QResizeEvent;

namespace Ui {
class CommandCreatorWidget;
}

// The command generator "命令生成器": builds one long command from its
// fields, shows it as text, reads such a text back into the fields and
// sends the command to the device.
class CommandCreatorWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CommandCreatorWidget(QWidget* parent = nullptr);
    ~CommandCreatorWidget() override;

private slots:
    void on_buttonCreated_clicked();
    void on_btn_parse_cmd_clicked();
    void on_buttonSend_clicked();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void InitWidget();
    void InitTable();
    void InsertDataToRow(int row, const QStringList& cells);
    void CheckContent();
    void InitAutoResize();
    CommandFields ReadFields() const;

    std::unique_ptr<Ui::CommandCreatorWidget> ui;
    std::unique_ptr<AutoResizer> m_autoResizer;
};

#endif // COMMANDCREATORWIDGET_H
