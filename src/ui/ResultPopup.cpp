#include "ResultPopup.h"

#include "DesktopOpen.h"
#include "ResultsGrid.h"

#include "actions/ResultsModel.h"
#include "app/MessageService.h"
#include "app/PathCodec.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>

namespace {

QAction* Entry(QMenu* menu, const char* name) {
    return menu->findChild<QAction*>(QLatin1String(name));
}

} // namespace

ResultPopup::ResultPopup(ResultsGrid* grid, QMenu* shared,
                         std::function<void(const QString&)> takeAction, QObject* parent)
    : QObject(parent), m_grid(grid), m_shared(shared), m_takeAction(std::move(takeAction)) {
    connect(grid, &ResultsGrid::ResultPopupRequested, this, [this](const QPoint& at) {
        if (ResultsModel* model = m_grid->Results())
            Show(model->CurrentRow(), at);
    });
    grid->installEventFilter(this);
    grid->viewport()->installEventFilter(this);
}

ResultPopup::~ResultPopup() {
    delete m_mark.data();
    delete m_own.data();
}

void ResultPopup::AddMarkEntries(QMenu* rules) {
    delete m_mark.data();
    m_mark = new QMenu(QStringLiteral("Mark"));
    m_mark->setObjectName(QStringLiteral("mnuPopupMarkRules"));
    m_mark->menuAction()->setObjectName(QStringLiteral("mnuPopupMark"));
    m_mark->addActions(rules->actions());
    PlaceMarkEntries(Menu());
}

void ResultPopup::AddReviewEntries(const QList<QAction*>& entries) {
    for (QAction* a : entries)
        m_review << a;
    PlaceMarkEntries(Menu());
}

void ResultPopup::PlaceMarkEntries(QMenu* menu) {
    for (const QPointer<QAction>& a : m_review)
        if (a && !menu->actions().contains(a.data()))
            menu->insertAction(m_mark ? m_mark->menuAction() : nullptr, a);
    if (!m_mark || menu->actions().contains(m_mark->menuAction()))
        return;
    auto* separator = new QAction(m_mark);
    separator->setObjectName(QStringLiteral("mnuPopupMarkSeparator"));
    separator->setSeparator(true);
    menu->addAction(separator);
    menu->addAction(m_mark->menuAction());
}

QMenu* ResultPopup::Menu() {
    if (m_shared)
        return m_shared;
    if (!m_own) {
        m_own = new QMenu(QStringLiteral("Popup"));
        m_own->setObjectName(QStringLiteral("mnuPopup"));
        Fill(m_own);
    }
    return m_own;
}

void ResultPopup::Fill(QMenu* menu) {
    for (const ActionCommands::Command& c : ActionCommands::Table) {
        QAction* action = menu->addAction(QLatin1String(c.Caption));
        action->setObjectName(QLatin1String(c.PopupEntry));
        action->setData(c.name());
    }
    menu->addSeparator()->setObjectName(QStringLiteral("mnuPopupFileSeparator"));
    menu->addAction(QStringLiteral("Open containing folder"))
        ->setObjectName(QStringLiteral("mnuPopupOpenFolder"));
}

void ResultPopup::Apply(const ActionCommands::Offer& offer) {
    QMenu* menu = Menu();
    for (const ActionCommands::Command& c : ActionCommands::Table)
        if (c.Rows != ActionCommands::Scope::Group)
            if (QAction* entry = Entry(menu, c.PopupEntry))
                entry->setVisible(offer.Offers(c));
}

void ResultPopup::Show(qint64 row, const QPoint& globalPos) {
    ResultsModel* model = m_grid->Results();
    if (!model || row < 1 || row > model->RowCount())
        return;
    QMenu* menu = Menu();
    PlaceMarkEntries(menu);
    // A group entry is offered beside its single entry, and only on a group header.
    static const char* pairs[][2] = {
        {"mnuPopupRecycleGroup", "mnuPopupRecycle"},   {"mnuPopupDeleteGroup", "mnuPopupRemove"},
        {"mnuPopupZipGroup", "mnuPopupZip"},           {"mnuPopupMoveGroup", "mnuPopupMove"},
        {"mnuPopupHardLinkGroup", "mnuPopupHardLink"}, {"mnuPopupCloneGroup", "mnuPopupClone"}};
    const bool header = model->IsGroupHeader(row);
    for (const auto& pair : pairs) {
        QAction* group = Entry(menu, pair[0]);
        QAction* single = Entry(menu, pair[1]);
        if (group && single)
            group->setVisible(header && single->isVisible());
    }
    // The file entries belong to a file row.
    QAction* openFolder = Entry(menu, "mnuPopupOpenFolder");
    for (QAction* entry : {Entry(menu, "mnuPopupFileSeparator"), openFolder})
        if (entry)
            entry->setVisible(!header);
    const QString path = model->Text(row, 3);
    const QPointer<QObject> alive(this);
    QAction* chosen = menu->exec(globalPos);
    if (!alive || !chosen)
        return;
    if (chosen == openFolder) {
        if (!DesktopOpen::OpenContainingFolder(path))
            Messages().Inform(QStringLiteral("Could not open the folder of ") +
                              PathCodec::Display(path));
        return;
    }
    // The menu's own signals may reach the main window too; the command is taken here,
    // once, from what exec returned.
    if (!chosen->data().toString().isEmpty())
        m_takeAction(chosen->data().toString());
}

void ResultPopup::ShowFromKeyboard() {
    ResultsModel* model = m_grid->Results();
    if (!model)
        return;
    const qint64 row = model->HighlightedRow() >= 1 ? model->HighlightedRow() : model->CurrentRow();
    if (row < 1 || row > model->RowCount())
        return;
    const QModelIndex index = model->index(model->QtRow(row), qMax(0, model->CurrentCol()));
    const QRect cell = m_grid->visualRect(index);
    const QPoint at = cell.isValid() ? cell.bottomLeft() : QPoint(0, 0);
    Show(row, m_grid->viewport()->mapToGlobal(at));
}

bool ResultPopup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == m_grid) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool menuKey = key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier;
        const bool shiftF10 = key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
        if (menuKey || shiftF10) {
            // The platform may follow the key with a context menu event of its own, which
            // must not open the menu a second time.
            m_keyShown = true;
            ShowFromKeyboard();
            QTimer::singleShot(0, this, [this] { m_keyShown = false; });
            return true;
        }
    }
    if (event->type() == QEvent::ContextMenu) {
        const auto* menu = static_cast<QContextMenuEvent*>(event);
        if (menu->reason() == QContextMenuEvent::Keyboard) {
            if (!m_keyShown)
                ShowFromKeyboard();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
