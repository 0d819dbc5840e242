#include "controls/QKeyValueListView.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QMutexLocker>
#include <QTableWidgetItem>

QKeyValueListView::QKeyValueListView(QWidget* parent)
    : QTableWidget(parent)
{
    // Automatic connection: queued when a writer emits from another thread.
    connect(this, &QKeyValueListView::listUpdate, this, &QKeyValueListView::listUpdate_slot);
    setRowCount(0);
    setColumnCount(2);
    setHorizontalHeaderLabels({"Name", "Value"});
    setColumnWidth(0, 80);
    horizontalHeader()->setStretchLastSection(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    // Rows are 20 pixels high whatever the style's default section size.
    verticalHeader()->setMinimumSectionSize(20);
}

void QKeyValueListView::SetValue(const QString& name, const QString& value)
{
    {
        QMutexLocker lock(&m_lock);
        m_entries.insert(name, value);
    }
    emit listUpdate();
}

void QKeyValueListView::RemoveValue(const QString& name)
{
    {
        QMutexLocker lock(&m_lock);
        m_entries.remove(name);
    }
    emit listUpdate();
}

void QKeyValueListView::listUpdate_slot()
{
    QMutexLocker lock(&m_lock);
    setRowCount(m_entries.size());
    setColumnCount(2);
    int row = 0;
    for (auto it = m_entries.constBegin(); it != m_entries.constEnd(); ++it, ++row) {
        const QString texts[2] = {it.key(), it.value()};
        for (int column = 0; column < 2; ++column) {
            QTableWidgetItem* cell = item(row, column);
            if (cell != nullptr) {
                cell->setText(texts[column]);
                continue;
            }
            cell = new QTableWidgetItem(texts[column]);
            cell->setForeground(QBrush(column == 0 ? QColor(Qt::blue) : QColor(Qt::black)));
            cell->setBackground(QBrush(row % 2 == 0 ? QColor(Qt::white) : QColor(224, 224, 224)));
            QFont font;
            font.setPointSize(8);
            cell->setFont(font);
            setItem(row, column, cell);
        }
        setRowHeight(row, 20);
    }
}
