#include "safeconfig/LineDiff.h"

#include "platform/TextHelpers.h"

#include <algorithm>
#include <cstddef>

std::vector<std::string> TextLines(const std::string& text) {
    return SplitLines(text, TLineEnds::Any);
}

namespace {

using Lines = std::vector<std::string>;

// Myers' greedy search over the middle a[a0, a1) and b[b0, b1). Appends the script in reverse
// order; false when more than MaxDiffEdits edits would be needed.
bool Myers(const Lines& a, int a0, int a1, const Lines& b, int b0, int b1,
           std::vector<char>& reversed) {
    const int n = a1 - a0;
    const int m = b1 - b0;
    const int limit = std::min(n + m, MaxDiffEdits);
    const int offset = limit + 1;
    std::vector<int> v(static_cast<std::size_t>(2 * limit + 3), 0);
    // trace[d] holds v[-d..d] after round d: enough to walk back without keeping every round's
    // whole array.
    std::vector<std::vector<int>> trace;
    int found = -1;
    for (int d = 0; d <= limit && found < 0; ++d) {
        for (int k = -d; k <= d; k += 2) {
            const bool down = k == -d || (k != d && v[offset + k - 1] < v[offset + k + 1]);
            int x = down ? v[offset + k + 1] : v[offset + k - 1] + 1;
            int y = x - k;
            while (x < n && y < m && a[a0 + x] == b[b0 + y]) {
                ++x;
                ++y;
            }
            v[offset + k] = x;
            if (x >= n && y >= m) {
                found = d;
                break;
            }
        }
        trace.emplace_back(v.begin() + offset - d, v.begin() + offset + d + 1);
    }
    if (found < 0)
        return false;
    int x = n;
    int y = m;
    for (int d = found; d > 0; --d) {
        const std::vector<int>& prev = trace[static_cast<std::size_t>(d - 1)];
        auto at = [&](int k) { return prev[static_cast<std::size_t>(k + d - 1)]; };
        const int k = x - y;
        const bool down = k == -d || (k != d && at(k - 1) < at(k + 1));
        const int prevK = down ? k + 1 : k - 1;
        const int prevX = at(prevK);
        const int prevY = prevX - prevK;
        const int midX = down ? prevX : prevX + 1;
        const int midY = down ? prevY + 1 : prevY;
        for (; x > midX && y > midY; --x, --y)
            reversed.push_back(' ');
        reversed.push_back(down ? '+' : '-');
        x = prevX;
        y = prevY;
    }
    for (; x > 0 && y > 0; --x, --y)
        reversed.push_back(' ');
    return true;
}

// A run of added (or removed) lines can often stand a few lines lower as well: an added sensor
// object read as "</object> <object ...> <param .../>" after an unchanged "</object>". Moving
// every run as far down as it goes keeps the script as short and shows whole objects.
void SlideRunsDown(std::vector<char>& script, const Lines& a, const Lines& b) {
    // Line texts of the script's positions: old lines for ' ' and '-', new lines for '+'.
    std::vector<const std::string*> text;
    text.reserve(script.size());
    std::size_t i = 0, j = 0;
    for (char kind : script) {
        if (kind == '+') {
            text.push_back(&b[j++]);
        } else {
            text.push_back(&a[i++]);
            j += kind == ' ';
        }
    }
    const std::size_t n = script.size();
    for (std::size_t from = 0; from < n;) {
        const char kind = script[from];
        if (kind == ' ') {
            ++from;
            continue;
        }
        std::size_t to = from;
        while (to < n && script[to] == kind)
            ++to;
        while (to < n && script[to] == ' ' && *text[to] == *text[from]) {
            std::swap(script[from], script[to]);
            std::swap(text[from], text[to]);
            ++from;
            ++to;
            while (to < n && script[to] == kind)
                ++to;
        }
        from = to;
    }
}

} // namespace

std::vector<TDiffLine> DiffLines(const Lines& a, const Lines& b) {
    const int n = static_cast<int>(a.size());
    const int m = static_cast<int>(b.size());
    int prefix = 0;
    while (prefix < n && prefix < m && a[prefix] == b[prefix])
        ++prefix;
    int suffix = 0;
    while (suffix < n - prefix && suffix < m - prefix && a[n - 1 - suffix] == b[m - 1 - suffix])
        ++suffix;

    std::vector<char> script(static_cast<std::size_t>(prefix), ' ');
    std::vector<char> reversed;
    if (Myers(a, prefix, n - suffix, b, prefix, m - suffix, reversed)) {
        script.insert(script.end(), reversed.rbegin(), reversed.rend());
    } else {
        script.insert(script.end(), static_cast<std::size_t>(n - suffix - prefix), '-');
        script.insert(script.end(), static_cast<std::size_t>(m - suffix - prefix), '+');
    }
    script.insert(script.end(), static_cast<std::size_t>(suffix), ' ');
    SlideRunsDown(script, a, b);

    std::vector<TDiffLine> out;
    out.reserve(script.size());
    int i = 0;
    int j = 0;
    for (char kind : script) {
        TDiffLine line;
        line.Kind = kind;
        line.OldBefore = i;
        line.NewBefore = j;
        if (kind == '+') {
            line.Text = b[static_cast<std::size_t>(j++)];
        } else {
            line.Text = a[static_cast<std::size_t>(i++)];
            if (kind == ' ')
                ++j;
        }
        out.push_back(std::move(line));
    }
    return out;
}

std::vector<TDiffHunk> DiffHunks(const std::vector<TDiffLine>& lines, int context) {
    context = std::max(context, 0);
    const int count = static_cast<int>(lines.size());
    std::vector<TDiffHunk> hunks;
    int i = 0;
    while (i < count) {
        if (lines[static_cast<std::size_t>(i)].Kind == ' ') {
            ++i;
            continue;
        }
        // A change at i: the hunk runs until `context` lines after a change are followed by more
        // than `context` further unchanged lines.
        const int from = std::max(0, i - context);
        int lastChange = i;
        int j = i + 1;
        while (j < count) {
            if (lines[static_cast<std::size_t>(j)].Kind != ' ')
                lastChange = j;
            else if (j - lastChange > 2 * context)
                break;
            ++j;
        }
        const int to = std::min(count, lastChange + context + 1);
        TDiffHunk hunk;
        hunk.Lines.assign(lines.begin() + from, lines.begin() + to);
        for (const TDiffLine& l : hunk.Lines) {
            hunk.OldCount += l.Kind != '+';
            hunk.NewCount += l.Kind != '-';
        }
        const TDiffLine& first = hunk.Lines.front();
        hunk.OldStart = first.OldBefore + (hunk.OldCount > 0 ? 1 : 0);
        hunk.NewStart = first.NewBefore + (hunk.NewCount > 0 ? 1 : 0);
        hunks.push_back(std::move(hunk));
        i = to;
    }
    return hunks;
}

std::string HunkHeader(const TDiffHunk& hunk) {
    auto range = [](int start, int count) {
        std::string s = std::to_string(start);
        if (count != 1)
            s += "," + std::to_string(count);
        return s;
    };
    return "@@ -" + range(hunk.OldStart, hunk.OldCount) + " +" +
           range(hunk.NewStart, hunk.NewCount) + " @@";
}

std::string UnifiedDiff(const std::string& a, const std::string& b, const std::string& nameA,
                        const std::string& nameB, int context) {
    const std::vector<TDiffHunk> hunks = DiffHunks(DiffLines(TextLines(a), TextLines(b)), context);
    if (hunks.empty())
        return {};
    std::string out = "--- " + nameA + "\n+++ " + nameB + "\n";
    for (const TDiffHunk& hunk : hunks) {
        out += HunkHeader(hunk) + "\n";
        for (const TDiffLine& line : hunk.Lines) {
            out += line.Kind;
            out += line.Text;
            out += '\n';
        }
    }
    return out;
}
