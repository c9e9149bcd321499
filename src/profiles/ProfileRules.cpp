#include "ProfileRules.h"

#include "ActionWords.h"
#include "app/modAPI.h"
#include "app/modCommon.h"

namespace ProfileRules {

namespace {

const QString Extension = QStringLiteral(".xml");

// A name becomes a file name; these cannot be part of one, or could not be typed back
// into a file dialog by the user. The message never listed the asterisk, but it is
// refused all the same.
bool HasForbiddenCharacter(const QString& name) {
    static const QString forbidden = QStringLiteral("*/:<>?\\|\"");
    for (const QChar c : name)
        if (forbidden.contains(c))
            return true;
    return false;
}

} // namespace

SaveCheck ValidateSave(const SaveInput& input) {
    SaveCheck check;
    check.NameText = input.NameText;
    const auto refuse = [&check](const char* message, Focus focus) {
        check.Result = 2;
        check.Message = QString::fromUtf8(message);
        check.FocusTo = focus;
        return check;
    };

    if (input.FirstFolder.trimmed().isEmpty())
        return refuse("Please select atleast one folder and try again.", Focus::Folders);
    QString trimmed = input.NameText.trimmed();
    if (trimmed.isEmpty())
        return refuse("Please enter a profile name and try again.", Focus::Name);
    if (trimmed.size() > Extension.size() && check.NameText.endsWith(Extension)) {
        check.NameText = trimmed.chopped(Extension.size());
        trimmed = check.NameText.trimmed();
    }
    if (HasForbiddenCharacter(check.NameText))
        return refuse("Profile name cannot contain / : < > ? \\ | \"", Focus::Name);
    if (input.Adding) {
        // The file that would be written, not the typed name plus ".xml": on this system
        // "Photos.XML" and "Photos.xml" differ, and a new profile must never overwrite
        // another one's document.
        bool exists = false;
        modAPI::MyPathFileExists(DocumentPath(check.NameText), exists);
        if (exists)
            return refuse("Profile name already exists. Please enter a different name.",
                          Focus::Name);
    }
    if (!input.AnyCriterion)
        return refuse("Please select atleast one criteria to find duplicate files.",
                      Focus::Criteria);
    return check;
}

QString ProfileName(const QString& nameText) {
    const QString trimmed = nameText.trimmed();
    if (trimmed.size() > Extension.size() && trimmed.endsWith(Extension, Qt::CaseInsensitive))
        return trimmed.chopped(Extension.size()).trimmed();
    return trimmed;
}

QString DocumentFileName(const QString& nameText) {
    return ProfileName(nameText) + Extension;
}

QString DocumentPath(const QString& nameText) {
    return modCommon::ProfileFolder + DocumentFileName(nameText);
}

QString RunLogName(const QString& nameText) {
    // The extension is joined before trimming, so only leading blanks go.
    const QString file = (nameText + QStringLiteral(".log")).trimmed();
    return file.chopped(4);
}

LocationCheck CheckLocations(const LocationInput& in) {
    const auto missing = [](Location which, const char* message) {
        return LocationCheck{which, QString::fromUtf8(message)};
    };
    const RemoveMethod method = ActionWords::MethodOf(in.DeleteTo);
    if (method == RemoveMethod::Move && in.MoveFolder.trimmed().isEmpty())
        return missing(Location::Move, "Please select a location to copy duplicate files");
    if (method == RemoveMethod::Zip && in.ZipFolder.trimmed().isEmpty())
        return missing(Location::Zip, "Please select a location to zip duplicate files");
    if (in.SingleCopy && in.CopyFolder.trimmed().isEmpty())
        return missing(Location::SingleCopy, "Please select a location to copy files");
    if (in.Export && in.ExportFolder.trimmed().isEmpty())
        return missing(Location::Export, "Please select a location to export the report");
    return {};
}

QString FilterRefusal(const QString& text, const QStringList& otherList, const QString& otherName) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("Please enter a text and try again.");
    if (otherList.contains(trimmed))
        return QStringLiteral("The entered text already exist in ") + otherName +
               QStringLiteral(" filter. The same text cannot be included in both include and "
                              "exclude filters");
    return {};
}

} // namespace ProfileRules
