#pragma once

#include <QStringList>

namespace TextSort {

// Quicksort of texts[low..high] in place, comparing without regard to case. False
// (and nothing sorted) when the range lies outside the list.
bool QuickSort(QStringList& texts, int low, int high);

} // namespace TextSort
