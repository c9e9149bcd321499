#pragma once

#include <QString>

// The program that shows two files side by side, chosen in the default options. Kept with
// the desktop settings, as the window's size is: it belongs to this desktop, not a profile.
namespace CompareTool {

// The command as set; when never set, the first of meld, kdiff3, kompare and diffuse on
// the PATH, else empty.
QString Command();
void SetCommand(const QString& command);
QString Detect();

// Starts the command with the two paths appended as arguments of their own: no shell ever
// reads them. Empty when started, else why not.
QString Run(const QString& command, const QString& first, const QString& second);

} // namespace CompareTool
