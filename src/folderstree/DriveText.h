#pragma once

#include "DriveSource.h"

// The text a drive node shows: its label, or a name for its kind, followed by the
// mount point in brackets.
namespace DriveText {

QString DisplayText(const DriveInfo& drive);

// "//srv/docs" or "srv:/export/docs" -> "docs on 'srv'"
QString NetworkLabel(const QString& remoteName);

} // namespace DriveText
