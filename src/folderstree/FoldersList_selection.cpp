#include "FoldersList_p.h"

#include "FileNames.h"

#include <exception>

using namespace Qt::StringLiterals;
using namespace FolderNodes;

// The selection as the host saves it and restores it into a tree read only as far as
// the saved folders need.

void FoldersList::InitialPath(const QString& strPath) {
    try {
        SelectPath(strPath, {.tick = true, .reveal = true});
    } catch (const std::exception& e) {
        ReportFailure(QString::fromLocal8Bit(e.what()));
    }
}

void FoldersList::SetUserSelection(const QStringList& vntSelection) {
    try {
        QSet<QString> silentMounts;
        m_silentMounts = &silentMounts;
        for (const QString& element : vntSelection) {
            // Keys are absolute paths, so blanks in front are never part of one; blanks
            // at the end can be ("notes "), and trimming them could name another folder.
            qsizetype start = 0;
            while (start < element.size() && element.at(start) == u' ')
                ++start;
            QString path = element.mid(start);
            if (path.size() > 1 && path.endsWith(u'/'))
                path.chop(1);
            // The empty selection reads back as one empty string; it selects nothing.
            if (path.trimmed().isEmpty())
                continue;
            // A saved folder the tree cannot show stays in the selection, exactly as
            // saved, until the user unticks it.
            if (SelectPath(path, {.tick = true}) != Found::Yes)
                AddUnavailable(path);
        }
        m_silentMounts = nullptr;
    } catch (const std::exception& e) {
        m_silentMounts = nullptr;
        ReportFailure(QString::fromLocal8Bit(e.what()));
    }
}

QStringList FoldersList::GetUserSelection() {
    QStringList selection;
    try {
        if (QTreeWidgetItem* root = m_tree->topLevelItem(0)) {
            for (int i = 0; i < root->childCount(); ++i)
                CollectSelection(root->child(i), selection);
        }
        if (m_unavailable) {
            for (int i = 0; i < m_unavailable->childCount(); ++i)
                if (IsTicked(m_unavailable->child(i)))
                    selection.append(KeyOf(m_unavailable->child(i)));
        }
    } catch (const std::exception& e) {
        ReportFailure(QString::fromLocal8Bit(e.what()));
    }
    if (selection.isEmpty())
        selection.append(QString());
    return selection;
}

void FoldersList::CollectSelection(QTreeWidgetItem* node, QStringList& selection) const {
    const bool ticked = IsTicked(node);
    if (ticked)
        selection.append(KeyOf(node));
    // With sub-folders included a ticked folder stands for everything below it.
    if (ticked && m_includeSubFolder)
        return;
    for (int i = 0; i < node->childCount(); ++i)
        CollectSelection(node->child(i), selection);
}

// Only the exact key: "Docs" and "docs" are two folders here, and restoring a saved
// folder onto another one would scan (and act on) what the user never chose.
QTreeWidgetItem* FoldersList::FindChild(QTreeWidgetItem* node, const QString& key) {
    if (!IsReadNode(node)) {
        delete node->takeChild(0);
        if (!Yield())
            return nullptr;
        if (ReadSubFolders(node) == Outcome::Abandoned)
            return nullptr;
    }
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem* child = node->child(i);
        if (KeyOf(child) == key)
            return child;
    }
    return nullptr;
}

FoldersList::Found FoldersList::SelectPath(const QString& path, Select how) {
    const quint64 generation = m_generation;
    QTreeWidgetItem* found = nullptr;
    {
        Busy busy(*this);
        ChangingGuard changing(m_changing);
        QTreeWidgetItem* current = FindDriveFor(path);
        if (current) {
            const QString rest = Qualify(path).mid(KeyOf(current).size());
            for (const QString& part : rest.split(u'/', Qt::SkipEmptyParts)) {
                current = FindChild(current, Qualify(KeyOf(current)) + part);
                if (generation != m_generation)
                    return Found::Abandoned;
                if (!current)
                    break;
            }
        }
        if (current) {
            SetNode(current, TickOf(how.tick));
            if (m_includeSubFolder) {
                SpreadDown(current);
                if (!UpdateParents(current))
                    return Found::Abandoned;
            }
            m_tree->scrollToItem(current);
            if (how.reveal)
                m_tree->setCurrentItem(current);
            found = current;
        }
    }
    if (!found)
        Q_EMIT Error(101, path + u" not found"_s);
    return found ? Found::Yes : Found::No;
}

void FoldersList::AddUnavailable(const QString& path) {
    ChangingGuard changing(m_changing);
    if (!m_unavailable) {
        m_unavailable = new QTreeWidgetItem(m_tree);
        m_unavailable->setText(0, u"Unavailable folders"_s);
        m_unavailable->setFlags(Qt::ItemIsEnabled);
        const QString tip =
            u"Saved folders that cannot be shown in the tree now. They stay selected until "
            u"you untick them."_s;
        m_unavailable->setToolTip(0, tip);
        m_unavailable->setData(0, Qt::AccessibleDescriptionRole, tip);
    }
    for (int i = 0; i < m_unavailable->childCount(); ++i) {
        QTreeWidgetItem* known = m_unavailable->child(i);
        if (KeyOf(known) == path) {
            known->setCheckState(0, Qt::Checked);
            return;
        }
    }
    auto* item = new QTreeWidgetItem(m_unavailable);
    const QString shown = FileNames::Display(path);
    item->setText(0, u' ' + shown);
    item->setData(0, KeyRole, path);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Checked);
    item->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
    const QString tip = shown +
                        u" cannot be shown: it was removed or renamed, is on a drive that is "
                        u"not connected or not answering, is reached through a link, or is "
                        u"hidden by the folder settings. It stays selected until you untick it."_s;
    item->setToolTip(0, tip);
    item->setData(0, Qt::AccessibleDescriptionRole, tip);
    m_unavailable->setExpanded(true);
}
