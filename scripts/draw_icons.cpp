// Draws the small icons under resources/images. Run once after changing a
// drawing:  g++ -fPIC draw_icons.cpp $(pkg-config --cflags --libs Qt5Gui) -o /tmp/draw_icons
//           QT_QPA_PLATFORM=offscreen /tmp/draw_icons <source root>/resources/images
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <functional>

static void Save(const QString& root, const QString& name, int w, int h,
                 const std::function<void(QPainter&)>& draw)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    p.end();
    const QString path = root + "/" + name;
    QDir().mkpath(QFileInfo(path).absolutePath());
    img.save(path, "PNG");
}

static QPen Pen(const QColor& c, qreal w) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

static void Chevron(QPainter& p, const QColor& c, qreal w, QPointF a, QPointF b, QPointF d)
{
    p.setPen(Pen(c, w));
    p.setBrush(Qt::NoBrush);
    QPainterPath path(a);
    path.lineTo(b);
    path.lineTo(d);
    p.drawPath(path);
}

static void Triangle(QPainter& p, const QColor& c, QPointF a, QPointF b, QPointF d)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(QPolygonF({a, b, d}));
}

static void Badge(QPainter& p, const QColor& c, const std::function<void(QPainter&)>& glyph)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QRectF(2, 2, 28, 28));
    glyph(p);
}

static void Plug(QPainter& p, const QColor& c)
{
    p.setPen(Pen(c, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(4, 9, 24, 14), 3, 3);
    p.setBrush(c);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        p.drawEllipse(QPointF(9 + i * 4.6, 14), 1.3, 1.3);
    }
    for (int i = 0; i < 3; ++i) {
        p.drawEllipse(QPointF(11.3 + i * 4.6, 18), 1.3, 1.3);
    }
}

static void Pencil(QPainter& p, const QColor& c)
{
    p.save();
    p.translate(16, 16);
    p.rotate(-45);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRect(QRectF(-8, -3, 14, 6));
    p.drawPolygon(QPolygonF({QPointF(7, -3), QPointF(12, 0), QPointF(7, 3)}));
    p.setBrush(c.darker(150));
    p.drawRect(QRectF(-11, -3, 2.5, 6));
    p.restore();
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString(".");
    const QColor white(Qt::white);
    const QColor dark(70, 70, 70);
    const QColor blue(65, 105, 225);
    const QColor green(46, 160, 67);
    const QColor red(214, 48, 49);
    const QColor amber(240, 165, 0);

    auto cross = [&](QPainter& p) { p.setPen(Pen(white, 3)); p.drawLine(11, 11, 21, 21); p.drawLine(21, 11, 11, 21); };
    auto tick = [&](QPainter& p) { Chevron(p, white, 3, {9, 16.5}, {14, 21.5}, {23, 11}); };

    Save(root, "Expand.png", 16, 16, [&](QPainter& p) { Chevron(p, dark, 2, {3, 6}, {8, 11}, {13, 6}); });
    Save(root, "un-collapse-o.png", 16, 16, [&](QPainter& p) { Chevron(p, dark, 2, {6, 3}, {11, 8}, {6, 13}); });
    Save(root, "check.png", 16, 16, [&](QPainter& p) { Chevron(p, blue, 2, {3, 8.5}, {6.5, 12}, {13, 4.5}); });
    Save(root, "upward.png", 12, 8, [&](QPainter& p) { Triangle(p, dark, {1, 7}, {6, 1}, {11, 7}); });
    Save(root, "down.png", 12, 8, [&](QPainter& p) { Triangle(p, dark, {1, 1}, {6, 7}, {11, 1}); });
    Save(root, "ok.png", 32, 32, [&](QPainter& p) { Badge(p, green, tick); });
    Save(root, "error.png", 32, 32, [&](QPainter& p) { Badge(p, red, cross); });
    Save(root, "serial.png", 32, 32, [&](QPainter& p) { Plug(p, QColor(130, 130, 130)); });
    Save(root, "serial_ok.png", 32, 32, [&](QPainter& p) { Plug(p, green); });
    Save(root, "serial_error.png", 32, 32, [&](QPainter& p) { Plug(p, red); });

    Save(root, "button/close.png", 16, 16, [&](QPainter& p) {
        p.setPen(Pen(dark, 2));
        p.drawLine(4, 4, 12, 12);
        p.drawLine(12, 4, 4, 12);
    });
    Save(root, "button/dataRecord.png", 32, 32, [&](QPainter& p) {
        p.setPen(Pen(dark, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(3, 3, 26, 26));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(150, 150, 150));
        p.drawEllipse(QRectF(9, 9, 14, 14));
    });
    Save(root, "button/dataRecording.png", 32, 32, [&](QPainter& p) {
        p.setPen(Pen(red, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(3, 3, 26, 26));
        p.setPen(Qt::NoPen);
        p.setBrush(red);
        p.drawEllipse(QRectF(9, 9, 14, 14));
    });
    Save(root, "button/lineeditWrite.png", 32, 32, [&](QPainter& p) { Pencil(p, dark); });
    Save(root, "button/lineeditWrite_h.png", 32, 32, [&](QPainter& p) { Pencil(p, blue); });

    Save(root, "toolBox/info.png", 32, 32, [&](QPainter& p) {
        Badge(p, blue, [&](QPainter& q) {
            q.setPen(Qt::NoPen);
            q.setBrush(white);
            q.drawEllipse(QPointF(16, 9.5), 2, 2);
            q.drawRoundedRect(QRectF(14.3, 13, 3.4, 11), 1.2, 1.2);
        });
    });
    Save(root, "toolBox/warn.png", 32, 32, [&](QPainter& p) {
        Triangle(p, amber, {16, 2}, {30, 28}, {2, 28});
        p.setPen(Qt::NoPen);
        p.setBrush(white);
        p.drawRoundedRect(QRectF(14.5, 10, 3, 10), 1.2, 1.2);
        p.drawEllipse(QPointF(16, 24), 1.8, 1.8);
    });
    Save(root, "toolBox/error.png", 32, 32, [&](QPainter& p) { Badge(p, red, cross); });
    Save(root, "toolBox/leftArrow.png", 32, 32, [&](QPainter& p) { Chevron(p, dark, 3, {20, 6}, {10, 16}, {20, 26}); });
    Save(root, "toolBox/rightArrow.png", 32, 32, [&](QPainter& p) { Chevron(p, dark, 3, {12, 6}, {22, 16}, {12, 26}); });
    return 0;
}
