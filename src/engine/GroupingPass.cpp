#include "GroupingPass.h"

#include "KeyOrder.h"
#include "ResultSink.h"
#include "ScanObserver.h"
#include "clsFileDetails.h"

#include "app/modLog.h"

void HandOnRow(ResultSink& sink, const FileList& list, size_t i, bool first) {
    if (sink.TakesListRows()) {
        sink.AddListRow(first, list, i);
        return;
    }
    const FileRecord& r = list[i];
    const FolderIdentity& folder = list.FolderOf(r);
    sink.AddRow(
        first, list.Details(i, false),
        {list.DeviceOf(r), r.Inode, r.ChangedNs, r.ModifiedSecs(), folder.Device, folder.Inode});
}

qint64 GroupingPass(const FileList& list, ResultSink& sink, ScanObserver* observer) {
    sink.ClearRecs();
    qint64 groups = 0;
    qint64 headerRow = 0;
    qint64 count = 0;
    qint64 total = 0;
    const auto closeGroup = [&]() {
        if (count == 0)
            return;
        sink.UpdateHeadTotal(headerRow, total);
        sink.UpdateHeader(headerRow, QString::number(count));
        count = 0;
        total = 0;
    };
    for (size_t i = 1; i < list.size(); ++i) {
        if (!KeyOrder::SameKey(list, list[i - 1], list[i])) {
            closeGroup();
        } else {
            if (count == 0) {
                headerRow =
                    sink.AddHeader(sink.TakesListRows() ? QString() : list.FileName(list[i - 1]));
                HandOnRow(sink, list, i - 1, true);
                total += list[i - 1].Size;
                count = 1;
                ++groups;
            }
            HandOnRow(sink, list, i, false);
            total += list[i].Size;
            ++count;
        }
        if (observer)
            observer->Yield();
    }
    closeGroup();
    modLog::RunStats.DuplicatesFound = groups;
    return groups;
}
