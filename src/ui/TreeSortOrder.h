#pragma once
// Where a tree view's TVI_SORT puts siblings that are inserted one after another, reached in n log n:
// the tree walks its sorted siblings for every insertion, which grows with the square of their number.
#include <cstddef>
#include <string>
#include <vector>

// The indices of `texts` (ANSI) in the order the tree would show them had each been inserted with
// TVI_SORT, in this order, under a parent with no children: by lstrcmpW of the texts, and a text equal
// to earlier ones goes right after the first of them (so the run reads first, last, ..., second).
std::vector<size_t> ZxTreeSortOrder(const std::vector<std::string>& texts);
