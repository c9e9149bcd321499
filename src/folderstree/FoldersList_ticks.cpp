#include "FoldersList_p.h"

#include <exception>
#include <vector>

using namespace FolderNodes;

// A tick spreads down to every folder read below it and up as the partial state of its
// parents, when sub-folders are included.

void FoldersList::OnItemChanged(QTreeWidgetItem* node, int column) {
    if (m_changing || column != 0 || KeyOf(node).isEmpty())
        return;
    try {
        // Unticking a folder the tree cannot show takes it out of the selection; it
        // has no tree around it to spread to.
        if (m_unavailable && node->parent() == m_unavailable) {
            Q_EMIT NodeCheck(node);
            return;
        }
        ApplyTick(node);
    } catch (const std::exception& e) {
        ReportFailure(QString::fromLocal8Bit(e.what()));
    }
}

void FoldersList::ApplyTick(QTreeWidgetItem* node) {
    {
        Busy busy(*this);
        ChangingGuard changing(m_changing);
        m_tree->setCurrentItem(node);
        const bool ticked = IsTicked(node);
        if (m_includeSubFolder)
            SpreadDown(node);
        SetNode(node, ticked, ticked ? m_selectedColour : m_clearedColour);
        if (!IsRoot(node) && m_includeSubFolder && !UpdateParents(node))
            return; // the tree was rebuilt meanwhile; the node is gone
    }
    Q_EMIT NodeCheck(node);
}

// Children that have not been read yet keep their placeholder; they take the tick
// from their parent's colour when they are read.
void FoldersList::SpreadDown(QTreeWidgetItem* node) {
    const bool ticked = IsTicked(node);
    const QColor colour = ticked ? m_selectedColour : m_clearedColour;
    std::vector<QTreeWidgetItem*> pending{node};
    while (!pending.empty()) {
        QTreeWidgetItem* current = pending.back();
        pending.pop_back();
        if (current->childCount() == 0 || current->child(0)->text(0).isEmpty())
            continue;
        for (int i = 0; i < current->childCount(); ++i) {
            QTreeWidgetItem* child = current->child(i);
            SetNode(child, ticked, colour);
            pending.push_back(child);
        }
    }
}

bool FoldersList::UpdateParents(QTreeWidgetItem* node) {
    while (!IsRoot(node)) {
        QTreeWidgetItem* parent = node->parent();
        const bool ticked = IsTicked(node);
        Spread state = Spread::None;
        if (NodeColour(node) == m_partialColour) {
            state = Spread::Mixed;
        } else {
            for (int i = 0; i < parent->childCount(); ++i) {
                const QTreeWidgetItem* sibling = parent->child(i);
                if (NodeColour(sibling) == m_partialColour || IsTicked(sibling) != ticked)
                    state = Spread::Mixed;
                if (!Yield())
                    return false;
                if (state == Spread::Mixed)
                    break;
            }
        }
        if (state != Spread::Mixed)
            state = ticked ? Spread::All : Spread::None;
        if (state == Spread::All)
            SetNode(parent, true, m_selectedColour);
        else
            SetNode(parent, false, state == Spread::Mixed ? m_partialColour : m_clearedColour);
        node = parent;
    }
    return true;
}
