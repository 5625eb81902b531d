// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/history/line_diff.h"

#include <QAbstractTableModel>

// The rows of a line diff for a table: unified (old number, new number, the line with its
// "+", "-" or " ") or side by side (old number and line, new number and line). Added lines
// are green, removed lines red; the changed words inside them are MarksRole's spans.
class DiffModel : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DiffModel)

public:
    // A line's cell: the QList<history::Span> of its changed words, in the text shown (empty
    // for a line without them); nothing for a number's cell.
    static constexpr int MarksRole = Qt::UserRole + 1;
    // The colour the changed words are marked in.
    static constexpr int MarkBackgroundRole = Qt::UserRole + 2;

    explicit DiffModel(QObject *parent = nullptr);

    // The side-by-side headers name the two versions.
    void showDiff(const history::LineDiff &diff, bool sideBySide, const QString &olderName,
                  const QString &newerName);
    // The rows where a change begins, in order.
    const QList<int> &changeStarts() const { return m_changeStarts; }
    // A column of lines, not of their numbers.
    bool isTextColumn(int column) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // Only line numbers can be selected: a selected line would lose its colour.
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // The line shown in a cell, nullptr for a blank half of a side-by-side row.
    const history::DiffLine *lineAt(int row, int column) const;
    bool isNumberColumn(int column) const;
    bool isChangeRow(int row) const;

    history::LineDiff m_diff;
    QList<history::SideBySideRow> m_rows;
    QList<int> m_changeStarts;
    bool m_sideBySide = false;
    QString m_olderName;
    QString m_newerName;
};
