// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The edited bytes: each edited key's lines found, replaced or dropped, new
// lines added at the end, and the rest of the file passed through in pieces.
#include "edits.h"

#include "reading/filebytes.h"
#include "reading/keylines.h"
#include "refusals.h"
#include "valuelines.h"
#include "writing.h"

#include <algorithm>
#include <set>

namespace plinto {
namespace yaml {
namespace detail {

namespace {

const Bytes byteOrderMark("\xEF\xBB\xBF");

// The line end of the file's last line that has one; a line feed if none has.
Bytes lineEndOf(Bytes body)
{
    const size_t lf = body.rfind('\n');
    return lf != Bytes::npos && lf > 0 && body[lf - 1] == '\r' ? Bytes("\r\n") : Bytes("\n");
}

// The entry line with its value replaced: what stands before the value and
// after it stays, a blank after the colon where there was none.
std::string withValue(Bytes line, const std::string &value)
{
    const LineText text = lineText(line);
    Bytes key;
    Bytes piece;
    entryPieces(text, key, piece);
    size_t start = text.text.size(); // no piece: the key's colon ends the text
    size_t end = start;
    if (piece.data() != nullptr) {
        const Bytes old = trimmed(piece);
        start = size_t(old.data() - line.data());
        end = start + old.size();
    }
    std::string out(line.substr(0, start));
    if (out.back() == ':')
        out += ' ';
    out += value;
    out.append(line.substr(end));
    return out;
}

// The line reads as the same entry, or as none, either way.
bool readsSame(Bytes a, Bytes b)
{
    EntryLine x;
    EntryLine y;
    const bool isEntry = readEntry(a, x);
    if (isEntry != readEntry(b, y))
        return false;
    return !isEntry || (x.key == y.key && x.items == y.items);
}

struct Replacement
{
    size_t start;
    size_t end;
    Bytes bytes;
};

// The lines that the edits of keys (sorted, unique) change: for a set, the
// key's last entry line; for a remove, every one; each with its key, in file
// order. linesOf: every entry line of each key that has one.
std::vector<std::pair<LineSpan, Bytes>> changingLines(Bytes body, const std::vector<Bytes> &keys, const Edits &edits,
                                                      std::map<Bytes, std::vector<LineSpan>> &linesOf)
{
    findEntryLines(body, keys, [&linesOf](Bytes key, LineSpan line) { linesOf[key].push_back(line); });
    std::vector<std::pair<LineSpan, Bytes>> changing;
    for (const Bytes key : keys) {
        const auto lines = linesOf.find(key);
        if (lines == linesOf.end())
            continue;
        if (edits.find(key)->second.dropLines) {
            for (const LineSpan line : lines->second)
                changing.emplace_back(line, key);
        } else {
            changing.emplace_back(lines->second.back(), key);
        }
    }
    std::sort(changing.begin(), changing.end(),
              [](const auto &a, const auto &b) { return a.first.start < b.first.start; });
    return changing;
}

} // namespace

EditedBytes::EditedBytes(Bytes bytes, const Edits &edits, const FoundLines *found)
{
    const FileBody file = fileBody(bytes);
    const Bytes body = file.body;
    const Bytes lineEnd = lineEndOf(body);

    // The lines that change, and how YAML reads them (as found already, or
    // found now): an edit that YAML readers would not keep is left out, and
    // the first such says why.
    std::map<Bytes, std::vector<LineSpan>> linesOf;
    std::vector<ValueLines> changing;
    std::vector<Bytes> toFind;
    for (const auto &[key, edit] : edits) {
        const auto known = found ? found->find(key) : FoundLines::const_iterator();
        if (!found || known == found->end() || known->second.dropLines != edit.dropLines) {
            toFind.push_back(key);
            continue;
        }
        if (!known->second.lines.empty())
            linesOf[key] = known->second.lines;
        changing.insert(changing.end(), known->second.changing.begin(), known->second.changing.end());
    }
    if (!toFind.empty()) {
        const std::vector<ValueLines> more = readValueLines(body, changingLines(body, toFind, edits, linesOf));
        changing.insert(changing.end(), more.begin(), more.end());
    }
    std::set<Bytes> refused;
    for (const ValueLines &lines : changing) {
        const std::string why = refusalOf(lines, edits.find(lines.key)->second);
        if (why.empty())
            continue;
        if (m_refusal.empty())
            m_refusal = why;
        refused.insert(lines.key);
    }

    std::vector<Replacement> replacements;
    const auto replace = [&](LineSpan line, std::string text) {
        const Bytes old = body.substr(line.start, line.end - line.start);
        m_changed = m_changed || text != old;
        replacements.push_back({line.start, line.end, m_made.emplace_back(std::move(text))});
    };
    for (const ValueLines &lines : changing) {
        if (refused.count(lines.key) != 0)
            continue;
        const KeyEdit &edit = edits.find(lines.key)->second;
        if (edit.dropLines)
            replace(lines.entry, std::string());
        else
            replace(lines.entry,
                    withValue(body.substr(lines.entry.start, lines.entry.end - lines.entry.start), edit.value));
        // Its value lines go with it, but for comment lines that read as entries.
        size_t from = lines.entry.end;
        for (const LineSpan kept : lines.kept) {
            if (kept.start > from)
                replacements.push_back({from, kept.start, Bytes()});
            from = kept.end;
        }
        if (lines.end > from)
            replacements.push_back({from, lines.end, Bytes()});
    }
    std::sort(replacements.begin(), replacements.end(), [](const Replacement &a, const Replacement &b) {
        return a.start != b.start ? a.start < b.start : a.end < b.end;
    });
    // A key's entry line can be a value line of another of its entry lines:
    // removals that overlap become one.
    std::vector<Replacement> merged;
    for (const Replacement &r : replacements) {
        if (!merged.empty() && r.start < merged.back().end && r.bytes.empty() && merged.back().bytes.empty()) {
            merged.back().end = std::max(merged.back().end, r.end);
            continue;
        }
        merged.push_back(r);
    }
    replacements = std::move(merged);
    for (const Replacement &r : replacements)
        m_changed = m_changed || (r.bytes.empty() && r.end > r.start);

    std::vector<std::pair<quint64, std::string>> newLines;
    for (const auto &[key, edit] : edits) {
        if (edit.set && refused.count(key) == 0 && (edit.dropLines || linesOf.count(key) == 0))
            newLines.emplace_back(edit.newLineOrder, entryLine(key, edit.value, lineEnd));
    }
    if (!newLines.empty()) {
        std::sort(newLines.begin(), newLines.end());
        std::string added;
        for (const auto &line : newLines)
            added += line.second;
        size_t at = body.size();
        if (!body.empty() && body.back() != '\n') {
            // The last line has no line feed, which may be what makes it an
            // entry (or none): it gets one only where that changes nothing,
            // else the new lines go before it. Where it goes with lines
            // before it, the line before them ends in a line feed.
            const LineSpan last = lineAround(body, body.size() - 1);
            Bytes lastNow = body.substr(last.start);
            if (!replacements.empty() && replacements.back().end == body.size())
                lastNow = replacements.back().start == last.start ? replacements.back().bytes : Bytes();
            if (!lastNow.empty() && readsSame(lastNow, std::string(lastNow) + std::string(lineEnd)))
                added.insert(0, lineEnd);
            else if (!lastNow.empty())
                at = last.start;
        }
        m_changed = true;
        replacements.push_back({at, at, m_made.emplace_back(std::move(added))});
    }

    std::sort(replacements.begin(), replacements.end(), [](const Replacement &a, const Replacement &b) {
        return a.start != b.start ? a.start < b.start : a.end < b.end;
    });
    size_t from = 0;
    for (const Replacement &r : replacements) {
        m_pieces.push_back(body.substr(from, r.start - from));
        m_pieces.push_back(r.bytes);
        from = r.end;
    }
    m_pieces.push_back(body.substr(from));
    m_pieces.erase(std::remove_if(m_pieces.begin(), m_pieces.end(), [](Bytes piece) { return piece.empty(); }),
                   m_pieces.end());

    // A byte-order mark stays in front. Where the body now starts with those
    // bytes (a key that begins with them, on what is now the first line), one
    // goes in front, so that the reader takes that one and keeps the key's.
    std::string start;
    for (size_t i = 0; i < m_pieces.size() && start.size() < 3; ++i)
        start.append(m_pieces[i].substr(0, 3 - start.size()));
    if (!file.byteOrderMark.empty() || start == byteOrderMark) {
        m_changed = m_changed || file.byteOrderMark.empty();
        m_pieces.insert(m_pieces.begin(), byteOrderMark);
    }
}

QByteArray EditedBytes::joined() const
{
    size_t size = 0;
    for (const Bytes piece : m_pieces)
        size += piece.size();
    QByteArray bytes;
    bytes.reserve(decltype(bytes.size())(size));
    adviseHugePages(bytes.data(), size);
    for (const Bytes piece : m_pieces)
        bytes.append(piece.data(), decltype(bytes.size())(piece.size()));
    return bytes;
}

KeyLines findKeyLines(Bytes file, Bytes key, bool dropLines, ReadFrom *from)
{
    const Bytes body = fileBody(file).body;
    Edits edits;
    edits[std::string(key)].dropLines = dropLines;
    std::map<Bytes, std::vector<LineSpan>> linesOf;
    std::vector<std::pair<LineSpan, Bytes>> changing = changingLines(body, {key}, edits, linesOf);
    for (auto &line : changing)
        line.second = key; // not the map's key, which goes
    KeyLines lines;
    lines.dropLines = dropLines;
    if (!linesOf.empty())
        lines.lines = linesOf.begin()->second;
    lines.changing = readValueLines(body, changing, from);
    return lines;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
