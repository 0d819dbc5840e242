#include "controls/LockerButton.h"

#include <QHBoxLayout>
#include <QLabel>

LockerButton::LockerButton(QWidget* parent)
    : QPushButton(parent)
{
    m_imageLabel = new QLabel;
    m_imageLabel->setFixedWidth(12);
    m_imageLabel->setFixedHeight(12);
    m_imageLabel->setScaledContents(true);
    m_imageLabel->setStyleSheet("QLabel{background-color:transparent;}");

    m_textLabel = new QLabel;
    m_textLabel->setStyleSheet("QLabel{background-color:transparent;}");

    auto* box = new QHBoxLayout;
    box->addWidget(m_imageLabel);
    box->addWidget(m_textLabel);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    setLayout(box);
}

void LockerButton::SetImageLabel(const QPixmap& pixmap)
{
    m_imageLabel->setPixmap(pixmap);
}

void LockerButton::SetTextLabel(QString text)
{
    m_textLabel->setText(text);
}

QLabel* LockerButton::GetImageHandle()
{
    return m_imageLabel;
}

QLabel* LockerButton::GetTextHandle()
{
    return m_textLabel;
}

void LockerButton::StyleAsPanelToggle(QWidget* page, const QPixmap& image, const QFont& textFont)
{
    SetTextLabel(QStringLiteral("设置"));
    SetImageLabel(image);
    const QString name = objectName();
    setStyleSheet(QString("#%1{background-color:transparent}"
                          "#%1:hover{background-color:rgba(195,195,195,0.4)}"
                          "#%1:pressed{background-color:rgba(127,127,127,0.4)}")
                      .arg(name));
    // A push button that declares a background but no border keeps its native
    // bevel, which the Fusion style fills from the transparent colour: black.
    // Declaring the border on the page lets the colours above show as meant.
    page->setStyleSheet(page->styleSheet() + QString("#%1{border:none}").arg(name));
    GetTextHandle()->setStyleSheet("QLabel{color:rgba(183,71,42,1)}");
    GetTextHandle()->setFont(textFont);
}
