#pragma once

#include "profiles/ActionWords.h"

#include <QString>

#include <array>

// The commands a person can give on the results: what each asks, what it hands to the
// action window and where it appears. Buttons, popup entries and the profile window all
// read this one table, so a command never asks one thing and does another.
namespace ActionCommands {

// Which rows a command acts on; it decides the count handed to the action window.
enum class Scope { HighlightedRow, AllRows, Group };

// The removal a command belongs to, or none for the two extras. Unknown stands for a
// profile's remove rule that this version does not know: no removal command is offered.
enum class Method { Recycle, Permanent, Move, Zip, HardLink, Clone, SingleCopy, Export, Unknown };

struct Command {
    const char* Name;       // the command as TakeAction knows it
    const char* Button;     // the duplicates pane's button; empty for the group commands
    const char* ToolTip;    // the button's tool tip and accessible name
    const char* PopupEntry; // the popup menu's entry
    const char* Caption;    // and its text
    const char* Question;   // asked before anything happens
    const char* RunAction;  // what the action window does
    Scope Rows;
    Method Family;

    QString name() const { return QLatin1String(Name); }
};

inline constexpr std::array<Command, 20> Table{{
    {"Recycle", "cmdRecycle", "Send selected item to Recycle bin", "mnuPopupRecycle",
     "Send this marked item to Recycle Bin",
     "Do you want to send the highlighted item to Recycle Bin?", "Delete", Scope::HighlightedRow,
     Method::Recycle},
    {"RecycleAll", "cmdRecycleAll", "Send all checked items to Recycle bin", "mnuPopupRecycleAll",
     "Send all the marked items to Recycle Bin",
     "Do you want to send all the marked items to Recycle Bin?", "DeleteAll", Scope::AllRows,
     Method::Recycle},
    {"RecycleGroup", "", "", "mnuPopupRecycleGroup",
     "Send all the marked items of this group to Recycle Bin",
     "Do you want to send all the marked items of this Group to Recycle Bin?", "DeleteGroup",
     Scope::Group, Method::Recycle},
    {"Delete", "cmdPermanentDelete", "Delete selected item permanently", "mnuPopupRemove",
     "Delete this marked item", "Do you want to permanently delete the highlighted item?", "Delete",
     Scope::HighlightedRow, Method::Permanent},
    {"DeleteAll", "cmdPermanentDeleteAll", "Delete all checked items permanently",
     "mnuPopupRemoveAll", "Delete all the marked items",
     "Do you want to permanently delete all the marked items?", "DeleteAll", Scope::AllRows,
     Method::Permanent},
    {"DeleteGroup", "", "", "mnuPopupDeleteGroup", "Delete all the marked items of this group",
     "Do you want to permanently delete all the marked items of this Group?", "DeleteGroup",
     Scope::Group, Method::Permanent},
    {"Move", "cmdMove", "Move selected item", "mnuPopupMove",
     "Move this marked item to specified folder",
     "Do you want to move the highlighted item to the specified folder?", "Delete",
     Scope::HighlightedRow, Method::Move},
    {"MoveAll", "cmdMoveAll", "Move all checked items", "mnuPopupMoveAll",
     "Move all the marked items to specified folder",
     "Do you want to move all the marked items to the specified folder?", "DeleteAll",
     Scope::AllRows, Method::Move},
    {"MoveGroup", "", "", "mnuPopupMoveGroup",
     "Move all the marked items of this group to specified folder",
     "Do you want to move all the marked items of this Group to the specified folder?",
     "DeleteGroup", Scope::Group, Method::Move},
    {"Zip", "cmdZip", "Zip selected item", "mnuPopupZip", "Zip this marked item",
     "Do you want to zip the highlighted item?", "Delete", Scope::HighlightedRow, Method::Zip},
    {"ZipAll", "cmdZipAll", "Zip all checked items", "mnuPopupZipAll", "Zip all the marked items",
     "Do you want to zip all the marked items?", "DeleteAll", Scope::AllRows, Method::Zip},
    {"ZipGroup", "", "", "mnuPopupZipGroup", "Zip all the marked items of this group",
     "Do you want to zip all the marked items of this Group?", "DeleteGroup", Scope::Group,
     Method::Zip},
    {"HardLink", "cmdHardLink", "Replace selected item by a hard link", "mnuPopupHardLink",
     "Replace this marked item by a hard link",
     "Do you want to replace the highlighted item by a hard link to the kept copy of its group?",
     "Delete", Scope::HighlightedRow, Method::HardLink},
    {"HardLinkAll", "cmdHardLinkAll", "Replace all checked items by hard links",
     "mnuPopupHardLinkAll", "Replace all the marked items by hard links",
     "Do you want to replace all the marked items by hard links to the kept copies?", "DeleteAll",
     Scope::AllRows, Method::HardLink},
    {"HardLinkGroup", "", "", "mnuPopupHardLinkGroup",
     "Replace all the marked items of this group by hard links",
     "Do you want to replace all the marked items of this Group by hard links to the kept copy?",
     "DeleteGroup", Scope::Group, Method::HardLink},
    {"Clone", "cmdClone", "Share the selected item's blocks with the kept file", "mnuPopupClone",
     "Share the blocks of this marked item with the kept file",
     "Do you want the highlighted item to share its blocks with the kept copy of its group?",
     "Delete", Scope::HighlightedRow, Method::Clone},
    {"CloneAll", "cmdCloneAll", "Share all checked items' blocks with the kept files",
     "mnuPopupCloneAll", "Share the blocks of all the marked items with the kept files",
     "Do you want all the marked items to share their blocks with the kept copies?", "DeleteAll",
     Scope::AllRows, Method::Clone},
    {"CloneGroup", "", "", "mnuPopupCloneGroup",
     "Share the blocks of the marked items of this group with the kept file",
     "Do you want the marked items of this Group to share their blocks with the kept copy?",
     "DeleteGroup", Scope::Group, Method::Clone},
    {"SingleCopy", "cmdSingleCopy", "Create a single copy", "mnuPopupSingleCopy",
     "Create single copy of all the unmarked items",
     "Do you want to make a single copy of all the marked items at the specified location?",
     "SingleCopy", Scope::AllRows, Method::SingleCopy},
    {"Export", "cmdExport", "Export report", "mnuPopupExport", "Export report",
     "Do you want to export the list to a report?", "Export", Scope::AllRows, Method::Export},
}};

// The command of that exact name, or null.
inline const Command* Find(const QString& name) {
    for (const Command& c : Table)
        if (name == QLatin1String(c.Name))
            return &c;
    return nullptr;
}

// What the advanced options hold at the moment: which removal, and the two extras.
struct Offer {
    Method Removal = Method::Recycle;
    bool SingleCopy = false;
    bool Export = false;
    QString UnknownRule; // with Removal Unknown: the rule as the document has it

    bool Offers(const Command& c) const {
        if (c.Family == Method::SingleCopy)
            return SingleCopy;
        if (c.Family == Method::Export)
            return Export;
        return c.Family == Removal;
    }
};

// The offer of a profile's action settings: its remove rule as written ("recycle",
// "permanent", "move", "zip", "hardlink", "clone"; no rule at all is the trash; any other is one
// this version does not know) and whether single copy and export are on.
inline Offer OfferFor(const QString& deleteTo, bool singleCopy, bool exportOn) {
    Offer offer;
    offer.SingleCopy = singleCopy;
    offer.Export = exportOn;
    switch (ActionWords::MethodOf(deleteTo)) {
    case RemoveMethod::Trash:
        offer.Removal = Method::Recycle;
        break;
    case RemoveMethod::Permanent:
        offer.Removal = Method::Permanent;
        break;
    case RemoveMethod::Move:
        offer.Removal = Method::Move;
        break;
    case RemoveMethod::Zip:
        offer.Removal = Method::Zip;
        break;
    case RemoveMethod::HardLink:
        offer.Removal = Method::HardLink;
        break;
    case RemoveMethod::Clone:
        offer.Removal = Method::Clone;
        break;
    case RemoveMethod::Unknown:
        offer.Removal = Method::Unknown;
        offer.UnknownRule = deleteTo;
        break;
    }
    return offer;
}

} // namespace ActionCommands
