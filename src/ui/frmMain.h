#pragma once

#include "Shell.h"

#include "profiles/ProfileList.h"

#include <QMainWindow>
#include <QString>
#include <QStyle>

#include <vector>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class QLabel;
class QWidget;
class frmProfile;
enum class ProfileMode;

// The main window: the profile list (the in-memory catalogue), menus, toolbar, status bar
// and the document area that hosts the child windows.
class frmMain final : public QMainWindow, public Shell {
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    int InitForm();
    // Add (strProfileName is "config.xml") or Edit (to edit or run). 1 when the profile
    // window opened, 3 after a failure, 0 when one was already open (it is then brought to
    // the front).
    int OpenProfile(const QString& strProfileName, ProfileMode mode);
    // Shell
    void AddNewProfile(const QString& strProfileName) override;
    void UpdateProfile(const QString& strProfileName, const QString& strStatus,
                       const QString& strLastRun) override;
    void DisplayStatusMsg(const QString& text) override;
    void DisplayMarkTotals(const QString& text) override;
    void WindowSizingChanged() override;
    QMenu* PopupMenu() const override;

    void DeleteSelectedListViewRecord();
    QString MarkTotalsMessage() const;
    void ToggleMnuBar(const QString& what, bool enabled);
    void ToggleMnuTbrInit();
    QMdiArea* MdiArea();

    QTreeWidget* ProfileList() const { return m_lvwProfiles; }
    QString StatusMessage() const;
    bool ManagerVisible() const;
    // The list's rows in list order, as they go into the catalogue at exit.
    std::vector<ProfileList::Row> Rows() const;

    // Runs a profile from the list as the Execute command does.
    void ExecuteProfile(const QString& name);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    void BuildToolbar();
    void BuildPopup();
    void PlaceWindow();
    // Fixed at the designed size, or resizable from the size it was left at, as the
    // default options say; the size it got.
    QSize ApplySizing(const QRect& available);
    int PopulateListView();
    void FormatListView();
    QTreeWidgetItem* AppendRow(const ProfileList::Row& row);
    QTreeWidgetItem* FindRow(const QString& name) const;
    QString SelectedProfileName() const;
    void ShowManagerPane(bool show);
    QMdiSubWindow* Host(QWidget* child, bool show);
    // Watches a window this one opened: when the last of them goes, the profile list
    // comes back in front and the menus follow the list again.
    void Track(QWidget* window);
    void BringToFront(QWidget* window);
    // Shows a hosted window's frame in front, wholly inside the document area: a window
    // partly outside it would hide its own buttons.
    void ShowInside(QMdiSubWindow* sub);
    // The room the document area gives its windows, known before it first shows: until
    // then it has never been laid out.
    QSize DocumentRoom() const;
    // Scrolls the document area so that a control of a hosted window that took the focus
    // can be seen.
    void BringIntoView(QWidget* focused);
    int OpenProfile(const QString& strProfileName, ProfileMode mode, bool show);

    // A command of the menus and the toolbar; Commands() holds them all.
    struct Command {
        const char* Menu;     // the object name of its menu; null: toolbar only
        const char* Name;     // its menu entry's object name
        const char* Text;     // and text
        const char* Shortcut; // portable text; empty for none
        const char* Key;      // its toolbar key; null: menu only
        const char* Tip;      // the toolbar button's tool tip and accessible name
        const char* Icon;     // the theme's icon, else the style's Fallback
        QStyle::StandardPixmap Fallback;
        bool NeedsRows;        // the toolbar button is off while the list is empty
        const char* Procedure; // trapped under this name with the Failure message; null:
        const char* Failure;   // the command traps its own errors
        void (frmMain::*Run)();
    };
    static const std::vector<Command>& Commands();
    void RunCommand(const Command& command, bool fromToolbar);

    void NewProfile();
    void EditSelected();
    void EditProfile(QTreeWidgetItem* row);
    void OpenReportInProfile();
    void DeleteCommand();
    void DeleteProfile();
    void ExecuteCommand();
    void ViewLog();
    // Puts back what the last action run of the chosen profile removed, once confirmed.
    void UndoLastAction();
    int OpenDefaultOptions();
    void OptionsCommand();
    void Exit();
    void SysStats();
    void ShowProfileManager();
    void ShowHelp();
    void ShowSupport();
    void ShowAbout();

    QMdiArea* m_mdiArea = nullptr;
    QWidget* m_pctProfiles = nullptr;
    QTreeWidget* m_lvwProfiles = nullptr;
    QToolBar* m_tbrMain = nullptr;
    QLabel* m_status = nullptr;
    QMenu* m_mnuPopup = nullptr;
    QLabel* m_markTotals = nullptr;
    QMenu* m_mnuWindow = nullptr;
    std::vector<QAction*> m_profileDependent;
    int m_openWindows = 0;
    std::vector<QMetaObject::Connection> m_tracking; // cut when this window goes first
    bool m_unloaded = false;
    bool m_resizable = false;
};
