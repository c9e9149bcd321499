#include "ActionButtons.h"

#include <QBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QToolButton>

// Resources of a static library are only linked in when something asks for them.
static void InitActionIcons() {
    Q_INIT_RESOURCE(ActionIcons);
}

namespace {

constexpr int ButtonSide = 32;
constexpr int IconSide = 24;

// The desktop's picture where its icon theme has a fitting one, ours otherwise.
QIcon IconFor(const QString& button) {
    static const struct {
        const char* Button;
        const char* Theme;
        const char* Own;
    } icons[] = {
        {"cmdRecycle", "user-trash", "recycle"},
        {"cmdRecycleAll", "user-trash-full", "recycle-all"},
        {"cmdPermanentDelete", "edit-delete", "delete"},
        {"cmdPermanentDeleteAll", "", "delete-all"},
        {"cmdMove", "", "move"},
        {"cmdMoveAll", "", "move-all"},
        {"cmdZip", "package-x-generic", "zip"},
        {"cmdZipAll", "", "zip-all"},
        {"cmdHardLink", "insert-link", "hardlink"},
        {"cmdHardLinkAll", "", "hardlink-all"},
        {"cmdClone", "", "clone"},
        {"cmdCloneAll", "", "clone-all"},
        {"cmdSingleCopy", "edit-copy", "single-copy"},
        {"cmdExport", "document-export", "export"},
    };
    for (const auto& i : icons) {
        if (button != QLatin1String(i.Button))
            continue;
        const QIcon own(QStringLiteral(":/actions/") + QLatin1String(i.Own) +
                        QStringLiteral(".png"));
        // The "all" commands keep our own picture so they never look like their single
        // sibling drawn by the theme.
        return *i.Theme ? QIcon::fromTheme(QLatin1String(i.Theme), own) : own;
    }
    return {};
}

} // namespace

ActionButtons::ActionButtons(QWidget* strip) : QWidget(strip) {
    InitActionIcons();
    setObjectName(QStringLiteral("ActionButtons"));
    setFixedHeight(ButtonSide + 4);
    if (auto* layout = qobject_cast<QBoxLayout*>(strip->layout()))
        layout->insertWidget(0, this, 1);

    for (const ActionCommands::Command& c : ActionCommands::Table) {
        if (!*c.Button)
            continue;
        auto* button = new QToolButton(this);
        const QString name = QLatin1String(c.Button);
        const QString tip = QLatin1String(c.ToolTip);
        button->setObjectName(name);
        button->setToolTip(tip);
        button->setAccessibleName(tip);
        button->setIcon(IconFor(name));
        button->setIconSize(QSize(IconSide, IconSide));
        button->setFixedSize(ButtonSide, ButtonSide);
        button->setAutoRaise(false);
        button->setFocusPolicy(Qt::StrongFocus);
        button->hide();
        const QString command = c.name();
        connect(button, &QToolButton::clicked, this, [this, command] { Q_EMIT Command(command); });
    }
    m_noRemoval = new QLabel(this);
    m_noRemoval->setObjectName(QStringLiteral("lblNoRemoval"));
    m_noRemoval->setTextFormat(Qt::PlainText);
    m_noRemoval->hide();
}

QToolButton* ActionButtons::Button(const QString& objectName) const {
    return findChild<QToolButton*>(objectName, Qt::FindDirectChildrenOnly);
}

QToolButton* ActionButtons::Place(QToolButton* button, int& left) {
    button->move(Pixels(left), 2);
    left += StepTwips;
    return button;
}

void ActionButtons::Apply(const ActionCommands::Offer& offer) {
    using ActionCommands::Method;
    int left = FirstLeftTwips;
    QWidget* previous = nullptr;
    const auto show = [&](const ActionCommands::Command& c, bool on) {
        QToolButton* button = Button(QLatin1String(c.Button));
        button->setVisible(on);
        if (!on)
            return;
        Place(button, left);
        // Tab follows the buttons as they stand.
        if (previous)
            setTabOrder(previous, button);
        previous = button;
    };
    for (const ActionCommands::Command& c : ActionCommands::Table)
        if (*c.Button && c.Family != Method::SingleCopy && c.Family != Method::Export)
            show(c, offer.Offers(c));
    m_noRemoval->setVisible(offer.Removal == Method::Unknown);
    if (offer.Removal == Method::Unknown) {
        m_noRemoval->setText(QStringLiteral("No removal: the rule \"") + offer.UnknownRule +
                             QStringLiteral("\" is unknown (Advanced Options)"));
        m_noRemoval->setToolTip(QStringLiteral("The profile's remove rule \"") + offer.UnknownRule +
                                QStringLiteral("\" is not one this version of Echofind knows, so "
                                               "nothing can be removed by it. Choose a rule in "
                                               "Advanced Options > Remove Options."));
        m_noRemoval->adjustSize();
        m_noRemoval->move(Pixels(left), (height() - m_noRemoval->height()) / 2);
        left += m_noRemoval->width() * 15 + GapTwips;
    }
    left += GapTwips;
    for (const ActionCommands::Command& c : ActionCommands::Table)
        if (c.Family == Method::SingleCopy || c.Family == Method::Export)
            show(c, offer.Offers(c));
}
