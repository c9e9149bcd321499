#pragma once

#include "TreewellExport.h"

class QWidget;

// A host that loads the library at run time creates its controls by identifier:
// "Treewell.FoldersList" gives a FoldersList; any other identifier gives nullptr.
// The identifier is UTF-8; the caller owns the control (or its parent does).
extern "C" TREEWELL_EXPORT QWidget* TreewellCreateControl(const char* identifier, QWidget* parent);
