#include "TreewellControl.h"

#include "FoldersList.h"

#include <cstring>
#include <new>

QWidget* TreewellCreateControl(const char* identifier, QWidget* parent) {
    if (!identifier || std::strcmp(identifier, "Treewell.FoldersList") != 0)
        return nullptr;
    // Nothing may escape into a host that may not even be C++.
    try {
        return new FoldersList(parent);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
