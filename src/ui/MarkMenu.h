#pragma once

#include "actions/MarkRules.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QMenu;
class QToolButton;
class QWidget;
class ResultsModel;

// The "Mark" button of the duplicates pane and its menu of marking rules; the grid's popup
// shows the same entries. A rule that needs a folder or a name pattern asks for it first.
class MarkMenu final : public QObject {
    Q_OBJECT

public:
    // Puts the button at the right end of the pane's command strip. The protected folders
    // are asked for each time a rule runs, so a change in the options counts at once.
    MarkMenu(QWidget* strip, ResultsModel& model, std::function<QStringList()> protectedFolders,
             QWidget* owner);
    ~MarkMenu() override;

    // Where the folder rules' picker starts: the profile's first folder, not wherever the
    // program happens to run.
    void SetStartFolder(std::function<QString()> folder) { m_startFolder = std::move(folder); }

    QToolButton* Button() const { return m_button; }
    QMenu* Menu() const { return m_menu; }

    // Carries out a rule as its menu entry does; nothing when the person cancels a prompt.
    void Choose(MarkRules::Rule rule);

    // Replaces the pattern prompt (tests); the prompt's text in, the pattern or nothing out.
    // An empty function puts the real dialog back.
    using PatternAsker = std::function<std::optional<QString>(const QString& prompt)>;
    static void SetPatternAsker(PatternAsker asker);

Q_SIGNALS:
    // After a rule ran: what it did, in words.
    void Applied(const QString& summary);

private:
    std::optional<QString> AskPattern(const QString& prompt);

    ResultsModel& m_model;
    std::function<QStringList()> m_protected;
    std::function<QString()> m_startFolder;
    QWidget* m_owner;
    QToolButton* m_button = nullptr;
    QMenu* m_menu = nullptr;
};
