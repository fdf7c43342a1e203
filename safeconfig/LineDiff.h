#pragma once
// Line-by-line difference of two texts, as shown before an upload, in the history and by the
// command line: removed lines, added lines and unchanged context, grouped into hunks.

#include <string>
#include <vector>

// The lines of a text without their ends; CR LF, LF and a lone CR each end a line.
std::vector<std::string> TextLines(const std::string& text);

struct TDiffLine {
    char Kind = ' '; // ' ' unchanged, '-' removed, '+' added
    std::string Text;
    int OldBefore = 0; // lines of the old text before this one
    int NewBefore = 0; // lines of the new text before this one
};

// A shortest edit script (removals before additions where both are possible). Beyond
// MaxDiffEdits differing lines in the changed middle the middle is shown as removed and added
// whole, so a pair of unrelated large files cannot take the memory of the machine.
constexpr int MaxDiffEdits = 3000;
std::vector<TDiffLine> DiffLines(const std::vector<std::string>& a,
                                 const std::vector<std::string>& b);

struct TDiffHunk {
    int OldStart = 0; // 1-based; the line before the hunk when it holds no old line
    int OldCount = 0;
    int NewStart = 0;
    int NewCount = 0;
    std::vector<TDiffLine> Lines;
};

// The changes with up to `context` unchanged lines around them; hunks whose context would meet
// are joined. Empty when the texts have the same lines.
std::vector<TDiffHunk> DiffHunks(const std::vector<TDiffLine>& lines, int context = 3);

// "@@ -1,4 +1,5 @@" (a count of 1 is left out, as diff does).
std::string HunkHeader(const TDiffHunk& hunk);

// The unified form: "--- A", "+++ B", then each hunk's header and its lines prefixed by ' ', '-'
// or '+'; every line ends with LF. Empty when the texts have the same lines.
std::string UnifiedDiff(const std::string& a, const std::string& b, const std::string& nameA,
                        const std::string& nameB, int context = 3);
