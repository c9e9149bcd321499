#include "TreewellHost.h"

#include "app/modCommon.h"
#include "app/modLog.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QWidget>

namespace TreewellHost {

namespace {

using CreateControl = QWidget* (*)(const char*, QWidget*);

// Loaded once and kept for the life of the program: controls made from it may outlive
// any one window.
CreateControl Factory() {
    static CreateControl create = [] {
        QLibrary library(modCommon::TreewellLibraryFile());
        auto found = reinterpret_cast<CreateControl>(library.resolve("TreewellCreateControl"));
        if (!found)
            modLog::LogProcedureError(QStringLiteral("frmProfile.Form_Load"), 0,
                                      library.errorString());
        return found;
    }();
    return create;
}

} // namespace

QWidget* CreateFoldersList(QWidget* parent) {
    const CreateControl create = Factory();
    return create ? create("Treewell.FoldersList", parent) : nullptr;
}

void SetBool(QWidget* control, const char* member, bool value) {
    if (control)
        QMetaObject::invokeMethod(control, member, Q_ARG(bool, value));
}

QStringList GetUserSelection(QWidget* control) {
    QStringList selection{QString()};
    if (control)
        QMetaObject::invokeMethod(control, "GetUserSelection",
                                  Q_RETURN_ARG(QStringList, selection));
    return selection;
}

void SetUserSelection(QWidget* control, const QStringList& folders) {
    if (control)
        QMetaObject::invokeMethod(control, "SetUserSelection", Q_ARG(QStringList, folders));
}

} // namespace TreewellHost
