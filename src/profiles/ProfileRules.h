#pragma once

#include <QString>
#include <QStringList>

// The rules that guard a profile before it is written, and the names its files get. They
// need no window, so the profile window and the option dialogs only show what these say.
namespace ProfileRules {

// Where the user is sent to put a refused value right.
enum class Focus { None, Folders, Name, Criteria };

struct SaveInput {
    QString FirstFolder; // the first folder the tree reports; empty when none is ticked
    QString NameText;    // the name box as typed
    bool Adding = false; // a new profile, whose name must not be taken
    bool AnyCriterion = false;
};

struct SaveCheck {
    int Result = 1; // 1 valid, 2 refused with Message
    QString Message;
    Focus FocusTo = Focus::None;
    // What the name box must show: a name typed with ".xml" at its end loses it.
    QString NameText;
};

// Checks in the order the user is told about them; the first refusal wins.
SaveCheck ValidateSave(const SaveInput& input);

// The profile's name as the catalogue lists it: the typed name, trimmed, without a final
// ".xml" in any letter case.
QString ProfileName(const QString& nameText);
// The document's file name: always the profile name and ".xml", so the document the
// catalogue names is the document that was written.
QString DocumentFileName(const QString& nameText);
// ProfileFolder + DocumentFileName.
QString DocumentPath(const QString& nameText);
// The name under which the run log of a profile is kept, from the name box.
QString RunLogName(const QString& nameText);

// The remove rule, single copy and export as an options dialog holds them.
struct LocationInput {
    QString DeleteTo; // "recycle", "permanent", "move", "zip", "hardlink", "clone"
    QString MoveFolder;
    QString ZipFolder;
    bool SingleCopy = false;
    QString CopyFolder;
    bool Export = false;
    QString ExportFolder;
};

// The first action that has no folder to work in.
enum class Location { None, Move, Zip, SingleCopy, Export };

struct LocationCheck {
    Location Missing = Location::None;
    QString Message;
};

LocationCheck CheckLocations(const LocationInput& input);

// Why a pattern cannot join a filter list; empty when it can. otherList is the opposite
// list, otherName its display name ("Include" or "Exclude"). Doubles within the same list
// are the list's own concern.
QString FilterRefusal(const QString& text, const QStringList& otherList, const QString& otherName);

} // namespace ProfileRules
