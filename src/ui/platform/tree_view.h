// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QTreeWidget>

// The tree view with the original's node collection: nodes take positions 1, 2, 3 ... in
// the order they are added; removing a node (with its children) closes the gap. Each node
// also carries the number of the entry it shows, so a position never has to stand for one.
class TreeView : public QTreeWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TreeView)

public:
    explicit TreeView(QWidget *parent = nullptr);

    void ClearNodes();
    // Adds a node at the top level (parentPosition 0) or under the node at parentPosition.
    // Returns the new node's position, or 0 when parentPosition names no node.
    int AddNode(int parentPosition, const QString &text, int entry);
    void RemoveNode(int position);
    void SetNodeText(int position, const QString &text);
    // Bold marks a node the user should look at.
    void SetNodeBold(int position, bool bold);

    int NodeCount() const { return int(m_nodes.size()); }
    bool HasNode(int position) const { return position >= 1 && position <= NodeCount(); }
    QString NodeText(int position) const;
    int ParentPosition(int position) const;
    int EntryOf(int position) const;
    // The position of the node that shows entry, 0 when there is none.
    int PositionOfEntry(int entry) const;
    // The position of the node at a point of the viewport, 0 when there is none.
    int NodeAt(const QPoint &point) const;
    // Where the node at position is drawn in the viewport; an invalid rectangle when there is
    // no such node.
    QRect NodeRect(int position) const;
    // Selects and shows the node at position without a click event; 0 selects none.
    void SelectNode(int position);

signals:
    void NodeClick(int position);
    void DblClick();

private:
    static void setNodeText(QTreeWidgetItem *node, const QString &text);
    int positionOf(const QTreeWidgetItem *item) const;
    QTreeWidgetItem *item(int position) const;

    QList<QTreeWidgetItem *> m_nodes;
    bool m_silent = false;
};
