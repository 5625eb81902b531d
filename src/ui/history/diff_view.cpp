// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/diff_view.h"

#include "ui/history/diff_model.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextLayout>

#include <vector>

// Paints a line's cell: the text wrapped to the cell, its changed words on a darker ground.
// Number cells are painted as any other.
class DiffLineDelegate : public QStyledItemDelegate
{
public:
    explicit DiffLineDelegate(QAbstractItemView *view)
        : QStyledItemDelegate(view)
        , m_view(view)
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QVariant marks = index.data(DiffModel::MarksRole);
        if (!marks.isValid()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        painter->save();
        painter->setClipRect(item.rect, Qt::IntersectClip);
        const QRectF exposed = painter->clipBoundingRect();
        if (item.backgroundBrush.style() != Qt::NoBrush)
            painter->fillRect(item.rect, item.backgroundBrush);

        const QRect text = textRect(item.rect);
        QTextLayout layout(item.text, item.font);
        layOut(layout, text.width());
        const qreal pitch = linePitch(item.font);
        const QColor markColour = index.data(DiffModel::MarkBackgroundRole).value<QColor>();
        painter->setPen(item.palette.color(QPalette::Text));
        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine line = layout.lineAt(i);
            const qreal top = text.top() + i * pitch;
            // A line many screens long is drawn only where it shows.
            if (top > exposed.bottom() || top + pitch < exposed.top())
                continue;
            const qsizetype lineEnd = line.textStart() + line.textLength();
            for (const history::Span &mark : marks.value<QList<history::Span>>()) {
                const qsizetype from = qMax<qsizetype>(mark.start, line.textStart());
                const qsizetype to = qMin<qsizetype>(mark.start + mark.length, lineEnd);
                if (from >= to)
                    continue;
                const qreal x1 = line.cursorToX(int(from));
                const qreal x2 = line.cursorToX(int(to));
                painter->fillRect(QRectF(text.left() + qMin(x1, x2), top, qAbs(x2 - x1), pitch), markColour);
            }
            line.draw(painter, text.topLeft());
        }
        painter->restore();
    }

    // How many lines a text takes in a cell that wide.
    int lineCount(const QString &text, const QFont &font, int cellWidth) const
    {
        const int width = textRect(QRect(0, 0, cellWidth, 1)).width();
        // A generous bound on the text's width settles most lines without laying them out.
        if (width <= 0 || boundWidth(text, font) <= width * 0.9)
            return 1;
        QTextLayout layout(text, font);
        layOut(layout, width);
        return qMax(1, layout.lineCount());
    }

    static int linePitch(const QFont &font) { return QFontMetrics(font).lineSpacing(); }

private:
    QRect textRect(const QRect &cell) const
    {
        // The margin Qt's own item views leave beside a cell's text.
        const int margin = m_view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_view) + 1;
        return cell.adjusted(margin, 1, -margin, 0);
    }

    static void layOut(QTextLayout &layout, int width)
    {
        const QFontMetricsF metrics(layout.font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        option.setTabStopDistance(4 * metrics.horizontalAdvance(u' '));
        layout.setTextOption(option);
        layout.beginLayout();
        qreal top = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            // Every line on one pitch with its baseline where the font's is, whichever font its
            // characters come from, so a row's height follows from its count of lines.
            line.setPosition(QPointF(0, top + metrics.ascent() - line.ascent()));
            top += linePitch(layout.font());
        }
        layout.endLayout();
    }

    // The sum of the characters' advances: no less than the laid-out width, as a fixed font
    // and CJK glyphs neither kern nor join.
    qreal boundWidth(const QString &text, const QFont &font) const
    {
        if (font != m_advanceFont) {
            m_advanceFont = font;
            m_advances.assign(0x10000, -1);
        }
        const QFontMetricsF metrics(font);
        qreal width = 0;
        for (QChar c : text) {
            float &advance = m_advances[c.unicode()];
            if (advance < 0) {
                if (c == u'\t')
                    advance = float(4 * metrics.horizontalAdvance(u' '));
                else if (c.isSurrogate())
                    advance = float(metrics.height());
                else
                    advance = float(metrics.horizontalAdvance(c));
            }
            width += advance;
        }
        return width;
    }

    QAbstractItemView *m_view;
    mutable QFont m_advanceFont;
    mutable std::vector<float> m_advances;
};

DiffView::DiffView(DiffModel *model, QWidget *parent)
    : QTableView(parent)
    , m_model(model)
    , m_delegate(new DiffLineDelegate(this))
{
    setModel(model);
    setItemDelegate(m_delegate);
    // Text in a diff is compared character by character: no ligature or kerning is wanted, and
    // without shaping a page of Japanese lines is laid out several times faster.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setStyleStrategy(QFont::PreferNoShaping);
    setFont(fixed);
    setShowGrid(false);
    // The change jumped to shows by its selected line number.
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A row many lines tall is scrolled through, not jumped over.
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // A scroll bar that comes and goes would change the columns' widths, and every row's height.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(DiffLineDelegate::linePitch(font()) + 2);

    m_fitTimer.setSingleShot(true);
    m_fitTimer.setInterval(0);
    connect(&m_fitTimer, &QTimer::timeout, this, &DiffView::fitRows);
    connect(horizontalHeader(), &QHeaderView::sectionResized, &m_fitTimer, qOverload<>(&QTimer::start));
}

void DiffView::fitRows()
{
    // Stretched columns take their widths late; the header's length settles them now.
    horizontalHeader()->length();
    m_fitTimer.stop();
    QList<int> textColumns;
    for (int column = 0; column < m_model->columnCount(); ++column) {
        if (m_model->isTextColumn(column))
            textColumns << column;
    }
    QHeaderView *rows = verticalHeader();
    const int pitch = DiffLineDelegate::linePitch(font());
    const int rowCount = m_model->rowCount();
    // Without updates the header does not find each resized row's place among all the others.
    rows->setUpdatesEnabled(false);
    for (int row : std::as_const(m_tallRows)) {
        if (row < rowCount)
            rows->resizeSection(row, rows->defaultSectionSize());
    }
    m_tallRows.clear();
    for (int row = 0; row < rowCount; ++row) {
        int lines = 1;
        for (int column : std::as_const(textColumns)) {
            lines = qMax(lines, m_delegate->lineCount(m_model->index(row, column).data().toString(), font(),
                                                      columnWidth(column)));
        }
        if (lines > 1) {
            rows->resizeSection(row, lines * pitch + 2);
            m_tallRows << row;
        }
    }
    rows->setUpdatesEnabled(true);
    viewport()->update();
}
