// The rules of the session manager and the file list that do not draw:
// list sizes, the storage-folder line's shortening, the outcome of "Add", the
// delete summary, header labels and the file list's tick marks. Pure
// functions over values, tested as tables. UI thread callers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Session/Session.h"

namespace ui {

// Rows of the session list: ceil((display height - 48 s - title bar - 360 s)
// / 40 s), at least 3; with no more sessions than that, the session count,
// but at least 3.
int SessionListRows(float displayHeight, float titleBarHeight, float s, int sessionCount);
// 344 s + rows x 40 s + 16 s.
float SessionPopupHeight(int rows, float s);

// The storage line fitted into `available` pixels: when the whole text does
// not fit, characters are dropped from its start until the rest is narrower
// than available - width("..."), and "..." goes in front. `width` measures a
// text. A text that fits after dropping only its first character is kept whole.
std::string FitStorageLine(const std::string& text, float available, const std::function<float(const std::string&)>& width);

enum class AddOutcome { Added, Duplicate, Failed };
// From FindOrCreateSession's index and the session counts before and after.
AddOutcome ClassifyAdd(int index, size_t countBefore, size_t countAfter);
// The alert for an outcome other than Added.
const char* AddOutcomeAlert(AddOutcome outcome);

// "- %d %s" per media type with files, singular for one.
std::vector<std::string> DeleteSummaryLines(const std::vector<MediaEntry>& media);

// "%s   (%d %s)###%s".
std::string SessionHeaderLabel(const std::string& name, int fileCount);

// The file list's marks per viewable list: 1 ticked, 0 not, -1 cannot be ticked.
using TickMarks = std::vector<std::vector<int32_t>>;
// Resizes to the lists' lengths (new marks 0); empties every list when
// select mode is off.
void ResizeTicks(TickMarks* ticks, const std::vector<size_t>& listLengths, bool selectMode);
int CountTicked(const TickMarks& ticks);
// The session box shows ticked when at least one file is ticked and every
// file that can be ticked is.
bool SessionBoxTicked(const std::vector<int32_t>& marks);
// Changing the session box sets every mark that is not -1.
void SetSessionBox(std::vector<int32_t>* marks, bool ticked);

// Export destinations of one export that would fall on the same name (two
// files written in the same second) get " (2)", " (3)" ... before the
// extension, in list order, so no copy overwrites another of the same export.
void MakeNamesDistinct(std::vector<std::string>* names);

}  // namespace ui
