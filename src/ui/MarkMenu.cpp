#include "MarkMenu.h"

#include "BrowseFolder.h"

#include "actions/ResultsModel.h"

#include <QBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

namespace {

using MarkRules::Rule;

struct Entry {
    const char* Name;
    const char* Caption;
    Rule What;
};

// In menu order; a separator stands between the keep rules and the others.
const Entry Entries[] = {
    {"mnuMarkKeepNewest", "Keep the newest file of each group", Rule::KeepNewest},
    {"mnuMarkKeepOldest", "Keep the oldest file of each group", Rule::KeepOldest},
    {"mnuMarkKeepShortest", "Keep the file with the shortest path", Rule::KeepShortestPath},
    {"mnuMarkKeepLongest", "Keep the file with the longest path", Rule::KeepLongestPath},
    {"mnuMarkKeepFirstUnder", "Keep the first file under a folder...", Rule::KeepFirstUnder},
    {"mnuMarkUnder", "Mark every file under a folder...", Rule::MarkUnder},
    {"mnuUnmarkUnder", "Unmark every file under a folder...", Rule::UnmarkUnder},
    {"mnuMarkMatching", "Mark every file whose name matches...", Rule::MarkMatching},
    {"mnuUnmarkMatching", "Unmark every file whose name matches...", Rule::UnmarkMatching},
};

MarkMenu::PatternAsker& Asker() {
    static MarkMenu::PatternAsker asker;
    return asker;
}

QString FolderPrompt(Rule rule) {
    switch (rule) {
    case Rule::KeepFirstUnder:
        return QStringLiteral("Select the folder whose files to keep");
    case Rule::MarkUnder:
        return QStringLiteral("Select the folder whose files to mark");
    default:
        return QStringLiteral("Select the folder whose files to unmark");
    }
}

} // namespace

MarkMenu::MarkMenu(QWidget* strip, ResultsModel& model,
                   std::function<QStringList()> protectedFolders, QWidget* owner)
    : QObject(strip), m_model(model), m_protected(std::move(protectedFolders)), m_owner(owner) {
    m_menu = new QMenu(QStringLiteral("Mark"), strip);
    m_menu->setObjectName(QStringLiteral("mnuMark"));
    for (const Entry& e : Entries) {
        if (e.What == Rule::MarkUnder)
            m_menu->addSeparator();
        QAction* action = m_menu->addAction(QString::fromLatin1(e.Caption));
        action->setObjectName(QLatin1String(e.Name));
        const Rule rule = e.What;
        connect(action, &QAction::triggered, this, [this, rule] { Choose(rule); });
    }

    const QString tip = QStringLiteral("Mark the files of every group by a rule");
    m_button = new QToolButton(strip);
    m_button->setObjectName(QStringLiteral("cmdMark"));
    m_button->setText(QStringLiteral("Mark"));
    m_button->setToolTip(tip);
    m_button->setAccessibleName(tip);
    m_button->setMenu(m_menu);
    m_button->setPopupMode(QToolButton::InstantPopup);
    m_button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_button->setFixedHeight(32);
    m_button->setFocusPolicy(Qt::StrongFocus);
    if (auto* layout = qobject_cast<QBoxLayout*>(strip->layout()))
        layout->addWidget(m_button);
}

MarkMenu::~MarkMenu() = default;

void MarkMenu::SetPatternAsker(PatternAsker asker) {
    Asker() = std::move(asker);
}

std::optional<QString> MarkMenu::AskPattern(const QString& prompt) {
    if (Asker())
        return Asker()(prompt);
    bool ok = false;
    const QString text = QInputDialog::getText(m_owner, QStringLiteral("Echofind"), prompt,
                                               QLineEdit::Normal, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

void MarkMenu::Choose(Rule rule) {
    MarkRules::Request request;
    request.What = rule;
    switch (rule) {
    case Rule::KeepFirstUnder:
    case Rule::MarkUnder:
    case Rule::UnmarkUnder:
        // The folder dialog hands back names in the desktop's encoding only, so a folder
        // whose name is not UTF-8 cannot be chosen here.
        request.Folder = BrowseForFolderByPath(m_startFolder ? m_startFolder() : QString(),
                                               FolderPrompt(rule), m_owner);
        if (request.Folder.isEmpty())
            return;
        break;
    case Rule::MarkMatching:
    case Rule::UnmarkMatching: {
        const std::optional<QString> pattern = AskPattern(
            rule == Rule::MarkMatching
                ? QStringLiteral("Mark every file whose name matches (* any characters, "
                                 "? one character, any case):")
                : QStringLiteral("Unmark every file whose name matches (* any characters, "
                                 "? one character, any case):"));
        if (!pattern || pattern->trimmed().isEmpty())
            return;
        request.Pattern = *pattern;
        break;
    }
    default:
        break;
    }
    if (m_protected)
        request.Protected = m_protected();
    const MarkRules::Outcome out = MarkRules::Apply(m_model, request);
    QString summary = MarkRules::TotalsText(out.Marked);
    if (out.Spared > 0)
        summary += QStringLiteral(" (%1 groups keep a file the rule would have marked, as "
                                  "their last copy)")
                       .arg(out.Spared);
    Q_EMIT Applied(summary);
}
