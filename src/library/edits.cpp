// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// The edited bytes: each edited key's lines found, replaced or dropped, new
// lines added at the end, and the rest of the file passed through in pieces.
#include "edits.h"

#include "filebytes.h"
#include "keylines.h"
#include "writing.h"

#include <algorithm>

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

} // namespace

EditedBytes::EditedBytes(Bytes bytes, const Edits &edits)
{
    const FileBody file = fileBody(bytes);
    const Bytes body = file.body;
    const Bytes lineEnd = lineEndOf(body);

    std::vector<Bytes> keys;
    for (const auto &edit : edits)
        keys.push_back(edit.first);
    std::map<Bytes, std::vector<LineSpan>> linesOf;
    findEntryLines(body, keys, [&linesOf](Bytes key, LineSpan line) { linesOf[key].push_back(line); });

    std::vector<Replacement> replacements;
    std::vector<std::pair<quint64, std::string>> newLines;
    const auto replace = [&](LineSpan line, std::string text) {
        const Bytes old = body.substr(line.start, line.end - line.start);
        m_changed = m_changed || text != old;
        replacements.push_back({line.start, line.end, m_made.emplace_back(std::move(text))});
    };
    for (const auto &[key, edit] : edits) {
        const auto found = linesOf.find(key);
        const std::vector<LineSpan> noLines;
        const std::vector<LineSpan> &lines = found == linesOf.end() ? noLines : found->second;
        if (edit.dropLines) {
            for (const LineSpan line : lines)
                replace(line, std::string());
        }
        if (!edit.set)
            continue;
        if (edit.dropLines || lines.empty())
            newLines.emplace_back(edit.newLineOrder, entryLine(key, edit.value, lineEnd));
        else
            replace(lines.back(),
                    withValue(body.substr(lines.back().start, lines.back().end - lines.back().start), edit.value));
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
            // else the new lines go before it.
            const LineSpan last = lineAround(body, body.size() - 1);
            Bytes lastNow = body.substr(last.start);
            for (const Replacement &r : replacements) {
                if (r.start == last.start)
                    lastNow = r.bytes;
            }
            if (!lastNow.empty() && readsSame(lastNow, std::string(lastNow) + std::string(lineEnd)))
                added.insert(0, lineEnd);
            else if (!lastNow.empty())
                at = last.start; // (a last line that goes leaves one that ends in a line feed)
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

bool hasEntryLine(Bytes file, Bytes key)
{
    bool found = false;
    findEntryLines(fileBody(file).body, {key}, [&found](Bytes, LineSpan) { found = true; });
    return found;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
