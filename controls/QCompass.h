#ifndef QCOMPASS_H
#define QCOMPASS_H

#include <QWidget>

class QKeyEvent;
class QPaintEvent;
class QResizeEvent;

// Heading dial: a fixed card with ticks, the cardinal letters and numbers,
// a fixed north-south needle and a translucent heading marker that runs
// around the rim.
class QCompass : public QWidget
{
    Q_OBJECT
public:
    explicit QCompass(QWidget* parent = nullptr);

    // Wrapped once into 0..360 (one step each way); schedules a repaint.
    void updateHeading(double heading);

    double getHeading() const { return m_heading; }
    int getDialSize() const { return m_size; }

signals:
    void canvasReplot();

protected slots:
    void canvasReplot_slot();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int m_sizeMin = 200;
    int m_sizeMax = 600;
    int m_size = 196;
    int m_offset = 2;
    double m_heading = 0.0;
};

#endif // QCOMPASS_H
