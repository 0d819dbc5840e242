#include "controls/CToastBox.h"

#include "ui_CToastBox.h"

#include <QFont>
#include <QFontMetrics>
#include <QTimer>

CToastBox::CToastBox(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::CToastBox)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    // A long text must not push the box past its maximum width.
    ui->labelText->setMinimumWidth(1);

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, [this]() {
        // The first timeout ends the toast; it must not fire again while the
        // deletion waits for the event loop.
        m_timer->stop();
        reject();
        deleteLater();
    });
}

CToastBox::~CToastBox()
{
    delete ui;
}

void CToastBox::SetLabelText(const QString& text)
{
    ui->labelText->setText(text);
}

void CToastBox::SetIcon(const QString& path)
{
    ui->labelIcon->setStyleSheet(QString("border-image:url(%1);").arg(path));
}

CToastBox* CToastBox::ShowToast(QWidget* parent, const QString& text, int type, int milliseconds,
                                const QString& icon)
{
    auto* box = new CToastBox(parent);
    box->SetLabelText(text);

    // The text's width plus 40, at least what the icon, text and close
    // button need side by side, and never past the box's maximum: a long
    // text is cut rather than stretching the box across the screen.
    QFont font;
    font.setPixelSize(14);
    const int wanted = qMax(QFontMetrics(font).horizontalAdvance(text) + 40, box->sizeHint().width());
    box->resize(qMin(wanted, box->maximumWidth()), box->height());

    QString path = icon;
    if (path.isEmpty()) {
        if (type == 0) {
            path = ":/images/resources/images/toolBox/info.png";
        } else if (type == 1) {
            path = ":/images/resources/images/toolBox/warn.png";
        } else {
            path = ":/images/resources/images/toolBox/error.png";
        }
    }
    box->SetIcon(path);
    box->m_timer->start(qMax(0, milliseconds));
    box->show();
    return box;
}

void CToastBox::on_btn_close_clicked()
{
    m_timer->stop();
    close();
    deleteLater();
}
