#pragma once

#include "FileList.h"

class ResultSink;
class ScanObserver;

// Hands the duplicate groups of a sorted list to a sink: ClearRecs once, then per group
// AddHeader, AddRow for each file (the first opening the group), UpdateHeadTotal and
// UpdateHeader. One pass, each record compared with its predecessor only. Returns the
// number of groups, which also becomes DuplicatesFound of the run statistics.
qint64 GroupingPass(const FileList& list, ResultSink& sink, ScanObserver* observer = nullptr);

// One file of the list as a grouping pass hands it to a sink, with the identity an action
// checks it by.
void HandOnRow(ResultSink& sink, const FileList& list, size_t i, bool first);
