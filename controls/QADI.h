#ifndef QADI_H
#define QADI_H

#include <QWidget>

class QKeyEvent;
class QPaintEvent;
class QResizeEvent;

// Attitude indicator: a sky-and-ground disc whose horizon follows pitch and
// turns with roll, with a pitch ladder, a roll scale on the rim, a fixed roll
// pointer at the top and the aircraft marker. Painted entirely by hand.
class QADI : public QWidget
{
    Q_OBJECT
public:
    explicit QADI(QWidget* parent = nullptr);

    // Clamped to -180..180 and -90..90; each schedules a repaint.
    void updateRoll(double roll);
    void updatePitch(double pitch);

    double getRoll() const { return m_roll; }
    double getPitch() const { return m_pitch; }
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
    double m_roll = 0.0;
    double m_pitch = 0.0;
};

#endif // QADI_H
