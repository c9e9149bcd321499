#pragma once

#include "FileList.h"

#include <string_view>

// The order of a scan's records: by comparison key, names without regard to case, and
// within equal keys by folder and name, so that the file kept in a group is predictable.
// Keys are compared part by part on the record, never built as strings.
namespace KeyOrder {

// Negative, zero or positive. Letters compare without regard to case; the order is that
// of case-folded UTF-16, with a byte-wise fast path for ASCII names. Names that are not
// valid UTF-8 and decode alike are told apart by their bytes, ASCII letters without case.
int CompareNamesCI(std::string_view a, std::string_view b);

// The key parts before the content: name, size, creation and modification time.
int ComparePreKey(const FileList& list, const FileRecord& a, const FileRecord& b);
// The content part. A record without a signature in a content scan was never read
// because nothing could share its content; it sorts last and equals nothing.
int CompareContent(const FileList& list, const FileRecord& a, const FileRecord& b);
// By folder, then name bytes. Here, so that a sort's comparison makes no call.
inline int ComparePath(const FileList& list, const FileRecord& a, const FileRecord& b) {
    const quint32 x = list.FolderRank(a), y = list.FolderRank(b);
    if (x != y)
        return x < y ? -1 : 1;
    return list.Name(a).compare(list.Name(b));
}
// Whether the key parts before the content are the size alone (a content or size scan),
// which a sort can then compare in place of ComparePreKey.
inline bool PreKeyIsSize(const FileList& list) {
    return !list.KeyName && !list.KeyCreated && !list.KeyModified &&
           (list.KeySize || list.Content != FileList::ContentKind::None);
}

// Equal comparison keys: the records belong to one duplicate group.
bool SameKey(const FileList& list, const FileRecord& a, const FileRecord& b);
// The full order: key, then path.
bool Less(const FileList& list, const FileRecord& a, const FileRecord& b);

} // namespace KeyOrder

// Sorts records low..high (inclusive) of the list by the full order. An introsort, so the
// stack stays bounded and the time O(n log n) whatever the input.
void QuickSort(FileList& list, qint64 low, qint64 high);
