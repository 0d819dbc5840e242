#include <QComboBox>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QtTest>

#include "widgets/singleTools/parameterConfigPage/AxleXDirection.h"
#include "widgets/singleTools/parameterConfigPage/AxleYDirection.h"
#include "widgets/singleTools/parameterConfigPage/AxleZDirection.h"
#include "widgets/singleTools/parameterConfigPage/CoordParamsSet.h"

using AxleD::AxleDirection;
using D = AxleDirection::TypeDirection;

namespace {

// Unit vector of a direction, independent of the code under test.
void Vec(int d, int v[3])
{
    v[0] = v[1] = v[2] = 0;
    v[(d - 1) / 2] = (d % 2 == 1) ? 1 : -1;
}

QString Current(QComboBox* box) { return box->currentText(); }

bool ItemEnabled(QComboBox* box, int row)
{
    auto* model = qobject_cast<QStandardItemModel*>(box->model());
    return model->item(row)->isEnabled();
}

int ItemFlags(QComboBox* box, int row)
{
    return box->model()->data(box->model()->index(row, 0), Qt::UserRole - 1).toInt();
}

} // namespace

class TestAxisOrientation : public QObject
{
    Q_OBJECT

private slots:
    void everyCodeIsRightHandedAndDistinct()
    {
        AxleD::AxleXDirection x;
        AxleD::AxleYDirection y;
        AxleD::AxleZDirection z;
        QSet<QPair<int, int>> seen;
        for (int code = 101; code <= 124; ++code) {
            const int dx = x.getDirectionByCode(code);
            const int dy = y.getDirectionByCode(code);
            const int dz = z.getDirectionByCode(code);
            int a[3], b[3], c[3];
            Vec(dx, a);
            Vec(dy, b);
            Vec(dz, c);
            const int cross[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                                  a[0] * b[1] - a[1] * b[0]};
            QCOMPARE(cross[0], c[0]);
            QCOMPARE(cross[1], c[1]);
            QCOMPARE(cross[2], c[2]);
            QCOMPARE(int(z.getZAxisByXYAxis(D(dx), D(dy))), dz);
            QCOMPARE(z.getCode(D(dx), D(dy)), float(code));
            seen.insert(qMakePair(dx, dy));
        }
        QCOMPARE(seen.size(), 24);
    }

    void tableRowsAndBlocks()
    {
        AxleD::AxleXDirection x;
        AxleD::AxleYDirection y;
        AxleD::AxleZDirection z;
        // 118: +Ux -Uz +Uy; 123: -Uz +Ux -Uy; 109: -Uz +Uy +Ux
        QCOMPARE(int(x.getDirectionByCode(118)), 1);
        QCOMPARE(int(y.getDirectionByCode(118)), 6);
        QCOMPARE(int(z.getDirectionByCode(118)), 3);
        QCOMPARE(int(x.getDirectionByCode(123)), 6);
        QCOMPARE(int(y.getDirectionByCode(123)), 1);
        QCOMPARE(int(z.getDirectionByCode(123)), 4);
        QCOMPARE(int(z.getDirectionByCode(109)), 1);
        QCOMPARE(int(z.getDirectionByCode(116)), 2);
        // outside 101..124 reads as 101
        for (int code : {0, 100, 125, -5}) {
            QCOMPARE(int(x.getDirectionByCode(code)), 1);
            QCOMPARE(int(y.getDirectionByCode(code)), 3);
            QCOMPARE(int(z.getDirectionByCode(code)), 5);
        }
        AxleDirection base;
        QCOMPARE(int(base.getDirectionByCode(101)), 0);
    }

    void crossProductExamples()
    {
        AxleD::AxleZDirection z;
        QCOMPARE(int(z.getZAxisByXYAxis(D(1), D(3))), 5);
        QCOMPARE(int(z.getZAxisByXYAxis(D(3), D(1))), 6);
        QCOMPARE(int(z.getZAxisByXYAxis(D(6), D(1))), 4);
        QCOMPARE(int(z.getZAxisByXYAxis(D(1), D(2))), 0);
        QCOMPARE(int(z.getZAxisByXYAxis(D(0), D(3))), 0);
        QCOMPARE(int(z.getZAxisByXYAxis(D(1), D(7))), 0);
        QCOMPARE(z.getCode(D(5), D(5)), 101.0f);
        QCOMPARE(z.getCode(D(0), D(0)), 101.0f);
    }

    void pairsNamesAndOccupancy()
    {
        AxleDirection a;
        QCOMPARE(int(a.getPairType(D(0))), 0);
        QCOMPARE(int(a.getPairType(D(7))), 0);
        QCOMPARE(int(a.getPairType(D(1))), 2);
        QCOMPARE(int(a.getPairType(D(4))), 3);
        QCOMPARE(int(a.getPairType(D(6))), 5);
        QCOMPARE(AxleDirection::getDirectionNameStr(0), QString("重置"));
        QCOMPARE(AxleDirection::getDirectionNameStr(6), QString("-Uz"));
        QCOMPARE(AxleDirection::getDirectionNameStr(7), QString());
        QCOMPARE(AxleDirection::getDirectionNameStr(-1), QString());

        QCOMPARE(a.getAxleAllDirection().size(), 7);
        a.setOccupancyDirection(D(4));
        a.setOccupancyDirection(D(5));
        auto list = a.getAxleAllDirection();
        const bool expect[7] = {false, false, false, true, true, true, true};
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(int(list[i].direction), i);
            QCOMPARE(list[i].occupied, expect[i]);
        }
        a.restoreOccupancy();
        a.setOccupancyDirection(D(0));
        list = a.getAxleAllDirection();
        QVERIFY(list[0].occupied);
        for (int i = 1; i < 7; ++i) {
            QVERIFY(!list[i].occupied);
        }
    }

    void chooserStartsAt101()
    {
        CoordParamsSet w(nullptr);
        auto* bx = w.findChild<QComboBox*>("comboBoxXAxis");
        auto* by = w.findChild<QComboBox*>("comboBoxYAxis");
        auto* bz = w.findChild<QComboBox*>("comboBoxZAxis");
        QVERIFY(bx && by && bz);
        QCOMPARE(bx->count(), 7);
        QCOMPARE(bx->itemData(4).toInt(), 4);
        QCOMPARE(Current(bx), QString("+Ux"));
        QCOMPARE(Current(by), QString("+Uy"));
        QCOMPARE(Current(bz), QString("+Uz"));
        QVERIFY(!bz->isEnabled());
        QCOMPARE(w.getCode(), 101.0f);
        QVERIFY(!ItemEnabled(by, 1));
        QVERIFY(!ItemEnabled(by, 2));
        QCOMPARE(ItemFlags(by, 1), 0);
        QCOMPARE(ItemFlags(by, 3), 33);
        for (int i = 0; i < 7; ++i) {
            QVERIFY(ItemEnabled(bx, i));
        }
    }

    void setCodeExamples()
    {
        CoordParamsSet w(nullptr);
        auto* bx = w.findChild<QComboBox*>("comboBoxXAxis");
        auto* by = w.findChild<QComboBox*>("comboBoxYAxis");
        auto* bz = w.findChild<QComboBox*>("comboBoxZAxis");

        w.setCode(118);
        QCOMPARE(Current(bx), QString("+Ux"));
        QCOMPARE(Current(by), QString("-Uz"));
        QCOMPARE(Current(bz), QString("+Uy"));
        QCOMPARE(w.getCode(), 118.0f);
        // Y and Z have X's axis disabled, X none.
        for (QComboBox* box : {by, bz}) {
            QVERIFY(!ItemEnabled(box, 1));
            QVERIFY(!ItemEnabled(box, 2));
            QVERIFY(ItemEnabled(box, 3));
            QVERIFY(ItemEnabled(box, 5));
        }
        for (int i = 0; i < 7; ++i) {
            QVERIFY(ItemEnabled(bx, i));
        }

        w.setCode(121.9f);
        QCOMPARE(w.getCode(), 121.0f);
        QCOMPARE(Current(by), QString("+Uz"));

        w.setCode(123);
        QVERIFY(!ItemEnabled(by, 5));
        QVERIFY(!ItemEnabled(by, 6));
        QVERIFY(ItemEnabled(by, 1));

        for (float bad : {100.0f, 125.0f, std::numeric_limits<float>::quiet_NaN(), 1e20f, -1e20f}) {
            w.setCode(bad);
            QCOMPARE(w.getCode(), 101.0f);
            QCOMPARE(Current(bx), QString("+Ux"));
            QCOMPARE(Current(by), QString("+Uy"));
            QCOMPARE(Current(bz), QString("+Uz"));
        }
    }

    void pickingXThenY()
    {
        CoordParamsSet w(nullptr);
        auto* bx = w.findChild<QComboBox*>("comboBoxXAxis");
        auto* by = w.findChild<QComboBox*>("comboBoxYAxis");
        auto* bz = w.findChild<QComboBox*>("comboBoxZAxis");

        bx->setCurrentIndex(6); // -Uz
        QCOMPARE(Current(by), QString("重置"));
        QCOMPARE(Current(bz), QString("重置"));
        QVERIFY(!ItemEnabled(by, 5));
        QVERIFY(!ItemEnabled(by, 6));
        QVERIFY(ItemEnabled(by, 1));
        QVERIFY(ItemEnabled(by, 2));
        QCOMPARE(w.getCode(), 101.0f);

        by->setCurrentIndex(1); // +Ux
        QCOMPARE(Current(bz), QString("-Uy"));
        QCOMPARE(w.getCode(), 123.0f);

        bx->setCurrentIndex(0); // 重置
        QCOMPARE(Current(bx), QString("+Ux"));
        QCOMPARE(Current(by), QString("+Uy"));
        QCOMPARE(Current(bz), QString("+Uz"));
        QCOMPARE(w.getCode(), 101.0f);
        QVERIFY(!ItemEnabled(by, 1));
        QVERIFY(!ItemEnabled(by, 2));
        QVERIFY(ItemEnabled(by, 5));
    }

    void mouseMoveOnCombosIsSwallowed()
    {
        CoordParamsSet w(nullptr);
        auto* bx = w.findChild<QComboBox*>("comboBoxXAxis");
        QMouseEvent move(QEvent::MouseMove, QPointF(1, 1), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QObject* filter = &w;
        QVERIFY(filter->eventFilter(bx, &move));
        QEvent other(QEvent::Enter);
        QVERIFY(!filter->eventFilter(bx, &other));
    }
};

QTEST_MAIN(TestAxisOrientation)
#include "tst_axis_orientation.moc"
