#include "TextSort.h"

namespace TextSort {

namespace {

bool Below(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

void Partition(QStringList& texts, int low, int high) {
    const QString pivot = texts.at(low + (high - low) / 2);
    int i = low;
    int j = high;
    while (i <= j) {
        while (Below(texts.at(i), pivot) && i < high)
            ++i;
        while (Below(pivot, texts.at(j)) && j > low)
            --j;
        if (i <= j) {
            texts.swapItemsAt(i, j);
            ++i;
            --j;
        }
    }
    if (low < j)
        Partition(texts, low, j);
    if (i < high)
        Partition(texts, i, high);
}

} // namespace

bool QuickSort(QStringList& texts, int low, int high) {
    if (low >= high)
        return true;
    if (low < 0 || high >= texts.size())
        return false;
    Partition(texts, low, high);
    return true;
}

} // namespace TextSort
