#include "FoldersList_p.h"

#include "FileNames.h"
#include "IconCache.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <algorithm>
#include <exception>

using namespace Qt::StringLiterals;
using namespace FolderNodes;

// Folders are read when a node is first expanded, and "*" expands a whole branch.

// A node not read yet has exactly its placeholder, a child without a key.
bool FoldersList::IsReadNode(const QTreeWidgetItem* node) const {
    return node->childCount() == 0 || !KeyOf(node->child(0)).isEmpty();
}

void FoldersList::OnItemExpanded(QTreeWidgetItem* node) {
    // The control expands nodes itself only along paths it has read already.
    if (m_changing)
        return;
    try {
        QString notReady;
        {
            Busy busy(*this);
            ChangingGuard changing(m_changing);
            m_tree->setCurrentItem(node);
            if (IsReadNode(node))
                return;
            delete node->takeChild(0);
            if (!Yield())
                return;
            QTreeWidgetItem* drive = DriveOf(node);
            const QString hangingMount = HangingMountOf(KeyOf(node));
            QString error;
            if (hangingMount.isEmpty()) {
                if (drive && !m_reader.Answers(KeyOf(drive), error))
                    notReady = Qualify(KeyOf(drive));
                else
                    ReadSubFolders(node);
            } else {
                // Probing first would block just like the listing, so the listing off
                // this thread is the probe.
                const Outcome outcome = ReadSubFolders(node);
                if (outcome == Outcome::Abandoned)
                    return;
                if (outcome == Outcome::NoAnswer)
                    notReady = Qualify(hangingMount);
            }
            if (!notReady.isEmpty()) {
                // Keeps the expand button so that the drive can be tried again.
                if (node->childCount() == 0)
                    NewPlaceholder(node);
                node->setExpanded(false);
            }
        }
        if (!notReady.isEmpty())
            Q_EMIT Error(104, notReady + u' ' + m_messages.at(1));
    } catch (const std::exception& e) {
        ReportFailure(QString::fromLocal8Bit(e.what()));
    }
}

FoldersList::Outcome FoldersList::ReadSubFolders(QTreeWidgetItem* node) {
    const QString key = KeyOf(node);
    const bool inheritTick = NodeColour(node) == m_selectedColour && IsTicked(node);
    std::vector<SubFolder> folders;
    QString error;
    const quint64 generation = m_generation;
    const QString hangingMount = HangingMountOf(key);
    Outcome outcome = Outcome::Read;
    if (hangingMount.isEmpty()) {
        if (!m_reader.ReadSubFolders(key, m_filter, folders, error, [this] { return Yield(); }))
            outcome = Outcome::Failed;
    } else if (m_silentMounts && m_silentMounts->contains(hangingMount)) {
        outcome = Outcome::NoAnswer;
    } else {
        outcome = m_reader.ReadWithin(key, m_filter, m_answerTimeout, folders, error,
                                      [this] { return Yield(); });
    }
    if (generation != m_generation)
        return Outcome::Abandoned;
    // A share whose root cannot be listed (its server gone, the connection lost) is a
    // drive that does not answer; a folder inside it that cannot be read (no access)
    // is a failure like any other.
    if (outcome == Outcome::Failed && !hangingMount.isEmpty() &&
        Qualify(key) == Qualify(hangingMount))
        outcome = Outcome::NoAnswer;
    if (outcome == Outcome::NoAnswer || outcome == Outcome::Abandoned) {
        // Not read: the node keeps its expand button, to be tried again.
        if (outcome == Outcome::NoAnswer && m_silentMounts)
            m_silentMounts->insert(hangingMount);
        if (outcome == Outcome::NoAnswer)
            NewPlaceholder(node);
        return outcome;
    }

    std::sort(folders.begin(), folders.end(), [](const SubFolder& a, const SubFolder& b) {
        const int order = QString::compare(a.name, b.name, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    const bool ticked = m_includeSubFolder && inheritTick;
    bool iconFailed = false;
    const QIcon icon =
        folders.empty() ? QIcon() : m_icons->Image(m_icons->FolderIconIndex(iconFailed));
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(folders.size()));
    for (const SubFolder& folder : folders) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, u' ' + FileNames::Display(folder.name));
        item->setData(0, KeyRole, Qualify(key) + folder.name);
        item->setIcon(0, icon);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
        if (ticked)
            item->setData(0, Qt::ForegroundRole, QBrush(m_selectedColour));
        if (folder.hasVisibleSubFolder)
            NewPlaceholder(item);
        items.append(item);
    }
    // Added in one go: ten thousand single insertions would each update the view.
    node->addChildren(items);

    // One report per folder read, not one per sub-folder sharing the failed image.
    if (iconFailed)
        Q_EMIT Error(103, node->text(0) + u' ' + m_messages.at(0));
    if (outcome == Outcome::Failed)
        ReportFailure(error);
    return outcome;
}

bool FoldersList::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (m_expandingAll && key == Qt::Key_Escape) {
            m_expandAllStopped = true;
            return true;
        }
        // The tree's own "*" reads on to the end of the drive, however big it is.
        if (watched == m_tree && key == Qt::Key_Asterisk && !m_expandingAll) {
            ExpandAll(m_tree->currentItem());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FoldersList::ExpandAll(QTreeWidgetItem* start) {
    if (!start || m_expandingAll || m_working)
        return;
    // Esc is heard wherever the focus is while the tree is disabled for a read.
    struct Listening {
        explicit Listening(FoldersList& list) : list(list) {
            list.m_expandingAll = true;
            list.m_expandAllStopped = false;
            QCoreApplication::instance()->installEventFilter(&list);
        }
        ~Listening() {
            QCoreApplication::instance()->removeEventFilter(&list);
            list.m_expandingAll = false;
        }
        FoldersList& list;
    } listening(*this);
    try {
        const quint64 generation = m_generation;
        int reads = 0;
        std::vector<QTreeWidgetItem*> pending{start};
        while (!pending.empty() && !m_expandAllStopped) {
            QTreeWidgetItem* node = pending.back();
            pending.pop_back();
            if (node->childCount() == 0)
                continue;
            if (!IsReadNode(node)) {
                if (reads >= m_expandAllLimit)
                    continue; // left for the next press
                ++reads;
            }
            node->setExpanded(true); // read through OnItemExpanded
            if (generation != m_generation)
                return;
            if (!node->isExpanded() || !IsReadNode(node))
                continue; // did not answer
            for (int i = node->childCount() - 1; i >= 0; --i)
                pending.push_back(node->child(i));
            if (!Yield())
                return;
        }
    } catch (const std::exception& e) {
        ReportFailure(QString::fromLocal8Bit(e.what()));
    }
}
