#pragma once
// The recently used entries of the frequency page: rows of field texts
// (description, frequency as "%011.6lf", one text per parameter), kept sorted
// field by field and free of duplicates as entries are merged in.
#include <string>
#include <vector>

using RecentEntry = std::vector<std::string>;

// The byte order of the list: field by field with strcmp; negative when a
// sorts before b, 0 when every field is equal.
int RecentList_Compare(const RecentEntry& a, const RecentEntry& b);

// Where entry belongs: the 0-based position of the first row it sorts
// before, or the end; -1 when a row equal to it is already there. Rows are
// compared as they stand, so a list read from a file in another order is
// merged into, not re-sorted.
int RecentList_Place(const std::vector<RecentEntry>& rows, const RecentEntry& entry);
