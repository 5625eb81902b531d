// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/diff_model.h"

#include "ui/history/history_texts.h"

#include <QColor>

using history::DiffLine;
using history::LineKind;

namespace {

// The usual colours of a diff: light enough to read any text on.
const QColor AddedColour(0xcc, 0xff, 0xd8);
const QColor RemovedColour(0xff, 0xd7, 0xd5);
const QColor NumberColour(0x80, 0x80, 0x80);
// The changed words inside a line: darker, the text on them still black.
const QColor AddedWordColour(0x80, 0xe5, 0x96);
const QColor RemovedWordColour(0xff, 0x9e, 0x99);

QChar markOf(LineKind kind)
{
    switch (kind) {
    case LineKind::Added:
        return u'+';
    case LineKind::Removed:
        return u'-';
    case LineKind::Same:
        break;
    }
    return u' ';
}

} // namespace

DiffModel::DiffModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void DiffModel::showDiff(const history::LineDiff &diff, bool sideBySide, const QString &olderName,
                         const QString &newerName)
{
    beginResetModel();
    m_diff = diff;
    m_sideBySide = sideBySide;
    m_olderName = olderName;
    m_newerName = newerName;
    m_rows = sideBySide ? history::SideBySide(m_diff) : QList<history::SideBySideRow>();
    m_changeStarts.clear();
    for (int row = 0; row < rowCount(); ++row) {
        if (isChangeRow(row) && (row == 0 || !isChangeRow(row - 1)))
            m_changeStarts << row;
    }
    endResetModel();
}

int DiffModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return int(m_sideBySide ? m_rows.size() : m_diff.lines.size());
}

int DiffModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : (m_sideBySide ? 4 : 3);
}

bool DiffModel::isTextColumn(int column) const
{
    return column >= 0 && column < columnCount() && !isNumberColumn(column);
}

bool DiffModel::isNumberColumn(int column) const
{
    return m_sideBySide ? column % 2 == 0 : column < 2;
}

const DiffLine *DiffModel::lineAt(int row, int column) const
{
    if (!m_sideBySide)
        return &m_diff.lines.at(row);
    const qsizetype line = column < 2 ? m_rows.at(row).left : m_rows.at(row).right;
    return line < 0 ? nullptr : &m_diff.lines.at(line);
}

bool DiffModel::isChangeRow(int row) const
{
    for (int column : {0, columnCount() - 1}) {
        const DiffLine *line = lineAt(row, column);
        if (line && line->kind != LineKind::Same)
            return true;
    }
    return false;
}

QVariant DiffModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int column = index.column();
    const DiffLine *line = lineAt(index.row(), column);
    if (!line)
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        if (isNumberColumn(column)) {
            // The old number is in column 0 of both layouts.
            const int number = column == 0 ? line->oldNumber : line->newNumber;
            return number ? QVariant(number) : QVariant();
        }
        return m_sideBySide ? line->text : QString(markOf(line->kind) + line->text);
    }
    case MarksRole: {
        if (isNumberColumn(column))
            return {};
        // In the unified view the text follows its mark.
        QList<history::Span> marks = line->marks;
        if (!m_sideBySide) {
            for (history::Span &mark : marks)
                ++mark.start;
        }
        return QVariant::fromValue(marks);
    }
    case MarkBackgroundRole:
        if (isNumberColumn(column) || line->kind == LineKind::Same)
            return {};
        return line->kind == LineKind::Added ? AddedWordColour : RemovedWordColour;
    case Qt::BackgroundRole:
        if (line->kind == LineKind::Added)
            return AddedColour;
        if (line->kind == LineKind::Removed)
            return RemovedColour;
        return {};
    case Qt::ForegroundRole:
        return isNumberColumn(column) ? QVariant(NumberColour) : QVariant();
    case Qt::TextAlignmentRole:
        // A line many rows tall has its number by its first row.
        return isNumberColumn(column) ? QVariant(int(Qt::AlignRight | Qt::AlignTop)) : QVariant();
    default:
        return {};
    }
}

Qt::ItemFlags DiffModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return isNumberColumn(index.column()) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsEnabled;
}

QVariant DiffModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (m_sideBySide) {
        const QStringList headers{HistoryText::OldLine, m_olderName, HistoryText::NewLine, m_newerName};
        return headers.value(section);
    }
    const QStringList headers{HistoryText::OldLine, HistoryText::NewLine, HistoryText::LineText};
    return headers.value(section);
}
