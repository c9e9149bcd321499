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
        SetNode(node, TickOf(ticked));
        if (!IsRoot(node) && m_includeSubFolder && !UpdateParents(node))
            return; // the tree was rebuilt meanwhile; the node is gone
    }
    Q_EMIT NodeCheck(node);
}

// Children that have not been read yet keep their placeholder; they take the tick
// from their parent's colour when they are read.
void FoldersList::SpreadDown(QTreeWidgetItem* node) {
    const Tick tick = TickOf(IsTicked(node));
    std::vector<QTreeWidgetItem*> pending{node};
    while (!pending.empty()) {
        QTreeWidgetItem* current = pending.back();
        pending.pop_back();
        if (current->childCount() == 0 || current->child(0)->text(0).isEmpty())
            continue;
        for (int i = 0; i < current->childCount(); ++i) {
            QTreeWidgetItem* child = current->child(i);
            SetNode(child, tick);
            pending.push_back(child);
        }
    }
}

bool FoldersList::UpdateParents(QTreeWidgetItem* node) {
    while (!IsRoot(node)) {
        QTreeWidgetItem* parent = node->parent();
        const bool ticked = IsTicked(node);
        Tick state = Tick::Cleared;
        if (NodeColour(node) == m_partialColour) {
            state = Tick::Partial;
        } else {
            for (int i = 0; i < parent->childCount(); ++i) {
                const QTreeWidgetItem* sibling = parent->child(i);
                if (NodeColour(sibling) == m_partialColour || IsTicked(sibling) != ticked)
                    state = Tick::Partial;
                if (!Yield())
                    return false;
                if (state == Tick::Partial)
                    break;
            }
        }
        if (state != Tick::Partial)
            state = TickOf(ticked);
        SetNode(parent, state);
        node = parent;
    }
    return true;
}
