#pragma once

#include "ActionCommands.h"

#include <QWidget>

class QLabel;
class QToolButton;

// The command buttons under the results grid. Only the buttons of the profile's removal
// and of the extras that are on are shown, each at the position its order gives it, so a
// person's hand finds the same command in the same place whatever else is on.
class ActionButtons final : public QWidget {
    Q_OBJECT

public:
    // Puts itself into the duplicates pane's strip for the commands.
    explicit ActionButtons(QWidget* strip);

    // Shows the buttons the options offer and places them from the left edge.
    void Apply(const ActionCommands::Offer& offer);
    QToolButton* Button(const QString& objectName) const;

    // The left edges, in twips, of the buttons Apply has shown, in their order.
    static constexpr int FirstLeftTwips = 75;
    static constexpr int StepTwips = 510;
    static constexpr int GapTwips = 25; // between the removal pair and the extras
    static int Pixels(int twips) { return (twips * 2 + 15) / 30; }

Q_SIGNALS:
    // A button was pressed: its command's name, for the profile window to carry out.
    void Command(const QString& name);

private:
    QToolButton* Place(QToolButton* button, int& left);

    // Says why no removal button shows when the profile's rule is not one this version knows.
    QLabel* m_noRemoval = nullptr;
};
