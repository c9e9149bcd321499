#pragma once

#include <QString>

#include <functional>

class QWidget;

// Asks the user for a folder. Every folder prompt of the program goes through here, so
// that tests can answer it without a dialog on screen.

// The folder browser with the title as its prompt; the chosen folder, or empty when the
// user cancels.
QString BrowseFolder(const QString& title, QWidget* owner);
// The same browser opening at a given folder.
QString BrowseForFolderByPath(const QString& startFolder, const QString& prompt, QWidget* owner);
// What the option dialogs' browse buttons do with their field's text: start at that
// folder when there is one, else browse from the top.
QString SelectFolder(const QString& fieldText, const QString& prompt, QWidget* owner);

// Replaces the browser; given the prompt and the start folder (empty for none). An empty
// function puts the real one back.
using FolderBrowser = std::function<QString(const QString& prompt, const QString& startFolder)>;
void SetFolderBrowser(FolderBrowser browser);

// Asks for a saved XML report to open, starting in the given folder; the chosen file, or
// empty when the user cancels.
QString BrowseReportFile(const QString& startFolder, QWidget* owner);
// Replaces the report chooser; given the start folder. An empty function puts the real
// one back.
using ReportBrowser = std::function<QString(const QString& startFolder)>;
void SetReportBrowser(ReportBrowser browser);
