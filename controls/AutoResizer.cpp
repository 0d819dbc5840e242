#include "controls/AutoResizer.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QTableWidget>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

float ScreenDpiFactor()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return 1.0f;
    }
    const int dpi = static_cast<int>(screen->logicalDotsPerInch());
    if (dpi <= 0) {
        return 1.0f;
    }
    return 96.0f / static_cast<float>(dpi);
}

// A design size of zero (a root not yet laid out) would give an infinite or
// undefined ratio; leave that direction unscaled instead.
float SafeRatio(int present, float design)
{
    if (!(design > 0.0f)) {
        return 1.0f;
    }
    return static_cast<float>(present) / design;
}

// Rewrites the captured point size of every match in one pass, copying the
// text between matches unchanged. Patching the digits in place at the offsets
// of the original sheet would shift every later match as soon as the number
// of digits changes (9pt -> 10pt) and corrupt the sheet.
QString RewriteCaptured(const QString& sheet, const QRegularExpression& re, const QString& value)
{
    QString out;
    out.reserve(sheet.size() + 8);
    int copied = 0;
    QRegularExpressionMatchIterator it = re.globalMatch(sheet);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const int start = m.capturedStart(1);
        const int end = m.capturedEnd(1);
        if (start < copied) {
            continue;
        }
        out += sheet.midRef(copied, start - copied);
        out += value;
        copied = end;
    }
    out += sheet.midRef(copied);
    return out;
}

// The font the widget will show: a style-sheet font rule ("font: 12pt;") only
// reaches the widget's font once the widget is polished.
QFont PolishedFont(QWidget* w)
{
    w->ensurePolished();
    return w->font();
}

bool PlacedByLayout(const QWidget* w)
{
    const QWidget* parent = w->parentWidget();
    QLayout* top = parent != nullptr ? parent->layout() : nullptr;
    if (top == nullptr) {
        return false;
    }
    QList<QLayout*> layouts = top->findChildren<QLayout*>();
    layouts.prepend(top);
    for (QLayout* layout : qAsConst(layouts)) {
        if (layout->indexOf(const_cast<QWidget*>(w)) >= 0) {
            return true;
        }
    }
    return false;
}

// The text field of an editable combo box or a spin box is placed by its
// owner at every resize of the owner; moved by the resizer as well, it ended
// up below the owner's frame.
bool PlacedByItsOwner(const QWidget* w)
{
    const QObject* parent = w->parent();
    return qobject_cast<const QComboBox*>(parent) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(parent) != nullptr;
}

} // namespace

class AutoResizerPrivate
{
public:
    explicit AutoResizerPrivate(AutoResizer* owner) : q_ptr(owner) {}

    void FontAutoResize(QWidget* w, int s);
    void RecordWidget(QWidget* w);
    void RecordMaximumHeight(QWidget* w);
    void Track(QWidget* w);
    void ForgetDeletedWidgets();

    AutoResizer* q_ptr = nullptr;
    QWidget* m_root = nullptr;
    QMap<QWidget*, AutoResizeT::AutoResizeOriginalData> m_resizeMap;
    QMap<QWidget*, AutoResizeT::AutoResizeOriginalData> m_fontMap;
    // Design-size height limits ("at most 30 pixels high"): they grow and
    // shrink with the fonts, or a scaled text would no longer fit.
    QMap<QWidget*, int> m_maxHeights;
    QList<QWidget*> m_resizeItems;
    QList<QWidget*> m_noResizeItems;
    // Pages delete some of their recorded widgets (an editable combo box
    // drops its text field when it stops being editable): a resize must not
    // reach them afterwards.
    QMap<QWidget*, QPointer<QWidget>> m_tracked;
    int m_flags = 0;
    float m_horRatio = 1.0f;
    float m_verRatio = 1.0f;
    float m_fontRatio = 1.0f;
    float m_designWidth = 0.0f;
    float m_designHeight = 0.0f;
    float m_dpiFactor = 1.0f;
    bool m_recorded = false;
};

void AutoResizerPrivate::Track(QWidget* w)
{
    m_tracked.insert(w, QPointer<QWidget>(w));
}

void AutoResizerPrivate::ForgetDeletedWidgets()
{
    for (auto it = m_tracked.begin(); it != m_tracked.end();) {
        if (it.value().isNull()) {
            m_resizeMap.remove(it.key());
            m_fontMap.remove(it.key());
            m_maxHeights.remove(it.key());
            it = m_tracked.erase(it);
        } else {
            ++it;
        }
    }
}

void AutoResizerPrivate::RecordWidget(QWidget* w)
{
    if (w == nullptr || PlacedByItsOwner(w)) {
        return;
    }
    Track(w);
    AutoResizeT::AutoResizeOriginalData data;
    data.data_rect = w->geometry();
    data.data_font = PolishedFont(w);
    m_resizeMap.insert(w, data);
    RecordMaximumHeight(w);
}

void AutoResizerPrivate::RecordMaximumHeight(QWidget* w)
{
    if (w->maximumHeight() < QWIDGETSIZE_MAX) {
        m_maxHeights.insert(w, w->maximumHeight());
    }
}

void AutoResizerPrivate::FontAutoResize(QWidget* w, int s)
{
    if (w == nullptr || s < 1) {
        return;
    }
    const float f = static_cast<float>(s) * m_fontRatio;

    if (auto* table = qobject_cast<QTableWidget*>(w)) {
        static const char* const selectors[] = {
            "QTableWidget", "QHeaderView", "QHeaderView::section",
            "QTableWidget::item", "QTableWidget::item::selected"
        };
        const QString value = QString("%1").arg(std::max(1, static_cast<int>(std::floor(f))));
        for (const char* selector : selectors) {
            const QRegularExpression re(
                QString("%1\\s*\\{[^\\}]*font:\\s*([0-9]+)pt;[^\\}]*\\}")
                    .arg(QRegularExpression::escape(QString::fromLatin1(selector))));
            const QString sheet = table->styleSheet();
            const QString rewritten = RewriteCaptured(sheet, re, value);
            if (rewritten != sheet) {
                table->setStyleSheet(rewritten);
            }
        }
        return;
    }

    static const QRegularExpression plainFont(QStringLiteral("font:\\s+[0-9]+pt"));
    const QString sheet = w->styleSheet();
    if (!sheet.isEmpty() && sheet.contains(plainFont)) {
        const int size = std::max(1, static_cast<int>(std::floor(f)) - 1);
        QString rewritten = sheet;
        rewritten.replace(plainFont, QString("font: %1pt").arg(size));
        if (rewritten != sheet) {
            w->setStyleSheet(rewritten);
        }
        return;
    }

    QFont font = w->font();
    font.setPointSizeF(std::max(1.0, static_cast<double>(f) - 1.0));
    w->setFont(font);
}

AutoResizer::AutoResizer(QWidget* root, float designWidth, float designHeight)
    : d_ptr(new AutoResizerPrivate(this))
{
    AutoResizerPrivate* d = d_ptr.data();
    d->m_root = root;
    d->m_designWidth = designWidth;
    d->m_designHeight = designHeight;
    d->m_dpiFactor = ScreenDpiFactor();

    if (root == nullptr) {
        return;
    }
    // Containers that keep a real layout: the container is scaled, its
    // children follow the layout and only get their fonts scaled.
    const QList<QLayout*> layouts = root->findChildren<QLayout*>();
    for (QLayout* layout : layouts) {
        QObject* owner = layout->parent();
        if (owner == nullptr || !owner->objectName().contains(QLatin1String("customLayout"))) {
            continue;
        }
        if (!owner->isWidgetType()) {
            continue;
        }
        d->m_resizeItems.append(static_cast<QWidget*>(owner));
        for (QObject* child : owner->children()) {
            if (!child->isWidgetType()) {
                continue;
            }
            auto* w = static_cast<QWidget*>(child);
            d->m_noResizeItems.append(w);
            AutoResizeT::AutoResizeOriginalData data;
            data.data_font = PolishedFont(w);
            d->m_fontMap.insert(w, data);
            d->RecordMaximumHeight(w);
            d->Track(w);
        }
    }
}

AutoResizer::~AutoResizer() = default;

void AutoResizer::setAutoResizeFlag(int flags)
{
    d_ptr->m_flags = flags;
}

void AutoResizer::addAutoResizeItem(QWidget* w)
{
    if (w != nullptr) {
        d_ptr->m_resizeItems.append(w);
    }
}

void AutoResizer::addNoAutoResizeItem(QWidget* w)
{
    if (w != nullptr) {
        d_ptr->m_noResizeItems.append(w);
    }
}

void AutoResizer::doneAllResizeItem()
{
    AutoResizerPrivate* d = d_ptr.data();
    for (QWidget* w : qAsConst(d->m_resizeItems)) {
        d->RecordWidget(w);
    }
    if (d->m_root != nullptr) {
        if (d->m_flags & INCLUDE_LABEL) {
            for (QLabel* w : d->m_root->findChildren<QLabel*>()) {
                d->RecordWidget(w);
            }
        }
        if (d->m_flags & INCLUDE_COMBOBOX) {
            for (QComboBox* w : d->m_root->findChildren<QComboBox*>()) {
                d->RecordWidget(w);
            }
        }
        if (d->m_flags & INCLUDE_BUTTON) {
            for (QAbstractButton* w : d->m_root->findChildren<QAbstractButton*>()) {
                d->RecordWidget(w);
            }
        }
        if (d->m_flags & INCLUDE_EDITOR) {
            for (QLineEdit* w : d->m_root->findChildren<QLineEdit*>()) {
                d->RecordWidget(w);
            }
        }
    }
    for (QWidget* w : qAsConst(d->m_noResizeItems)) {
        d->m_resizeMap.remove(w);
        if (!d->m_fontMap.contains(w)) {
            d->m_maxHeights.remove(w);
        }
    }
    // A widget that a layout places gets only its font scaled. Moved by both,
    // it kept whichever geometry came last, and the layout only places again
    // when its container changes size: the page then depended on the way
    // the window had been resized, not on its size.
    for (auto it = d->m_resizeMap.begin(); it != d->m_resizeMap.end();) {
        if (PlacedByLayout(it.key())) {
            d->m_fontMap.insert(it.key(), it.value());
            it = d->m_resizeMap.erase(it);
        } else {
            ++it;
        }
    }
    d->m_recorded = true;
}

void AutoResizer::doAutoResize()
{
    AutoResizerPrivate* d = d_ptr.data();
    if (d->m_root == nullptr) {
        return;
    }
    d->m_horRatio = SafeRatio(d->m_root->width(), d->m_designWidth);
    d->m_verRatio = SafeRatio(d->m_root->height(), d->m_designHeight);
    // Text grows with the window but never shrinks below the size the form
    // gives it: scaled down with a small window, the smallest labels fell to
    // 7 to 9 pixels, unreadable, beside tables and menus that keep their size.
    d->m_fontRatio = std::max(1.0f, std::min(d->m_horRatio, d->m_verRatio));
    if (!d->m_recorded) {
        return;
    }
    d->ForgetDeletedWidgets();

    for (auto it = d->m_maxHeights.cbegin(); it != d->m_maxHeights.cend(); ++it) {
        it.key()->setMaximumHeight(static_cast<int>(it.value() * d->m_fontRatio));
    }
    for (auto it = d->m_resizeMap.cbegin(); it != d->m_resizeMap.cend(); ++it) {
        QWidget* w = it.key();
        const QRect& r = it.value().data_rect;
        const QRect scaled(static_cast<int>(r.x() * d->m_horRatio),
                           static_cast<int>(r.y() * d->m_verRatio),
                           static_cast<int>(r.width() * d->m_horRatio),
                           static_cast<int>(r.height() * d->m_verRatio));
        d->FontAutoResize(w, static_cast<int>(it.value().data_font.pointSize() * d->m_dpiFactor));
        w->setGeometry(scaled);
        if (auto* table = qobject_cast<QTableWidget*>(w)) {
            const int rows = table->rowCount();
            if (rows > 0) {
                const int rowHeight = table->viewport()->height() / rows;
                for (int row = 0; row < rows; ++row) {
                    table->setRowHeight(row, rowHeight);
                }
            }
        }
    }
    for (auto it = d->m_fontMap.cbegin(); it != d->m_fontMap.cend(); ++it) {
        d->FontAutoResize(it.key(), static_cast<int>(it.value().data_font.pointSize() * d->m_dpiFactor));
    }
}

float AutoResizer::getHorResizeRatio() const
{
    return d_ptr->m_horRatio;
}

float AutoResizer::getVerResizeRatio() const
{
    return d_ptr->m_verRatio;
}

float AutoResizer::getFontResizeRatio() const
{
    return d_ptr->m_fontRatio;
}
