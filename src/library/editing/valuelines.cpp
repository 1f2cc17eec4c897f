// SPDX-FileCopyrightText: 2026 The tarnwick authors
// SPDX-License-Identifier: MIT

// How YAML reads the lines around an entry line: one pass over the lines up to
// the last one asked about. Lines that open nothing are passed over without
// being read (bytescan); the others go through the scanner (scanner), which
// says where each stands. The entry lines asked about are judged as the pass
// meets them, their values followed to their last line, and the anchors they
// take along looked for (refusals).
#include "valuelines.h"

#include "bytescan.h"
#include "refusals.h"
#include "scanner.h"
#include "yamlline.h"

namespace plinto {
namespace yaml {
namespace detail {

namespace {

// A value being followed to its last line.
struct Follower
{
    size_t result; // the entry line it follows, in the results
    Carries carries;
    size_t parent;
    std::vector<LineSpan> pendingKept; // comment entries after its last line so far
};

// Does the line belong to the value? content: it is one of its lines, not a
// blank or comment line that may turn out to stand after it.
bool belongs(const Follower &follower, const LineInfo &info, bool &content)
{
    content = !info.blank;
    switch (follower.carries) {
    case Carries::Open:
        return info.context == Context::InOpen || info.context == Context::InOpenComment;
    case Carries::BlockScalar:
        return info.context == Context::InBlockScalar;
    case Carries::Plain:
        return info.context == Context::InPlain || (info.blank && info.context == Context::Block);
    case Carries::Nested:
        if (info.context != Context::Block)
            return true; // a value begun within the block
        content = !info.blank && !info.comment;
        return !content || info.indent > follower.parent || (info.indent == follower.parent && info.sequenceItem);
    case Carries::Nothing:
        break;
    }
    return false;
}

YamlRole roleOf(const LineInfo &info)
{
    switch (info.context) {
    case Context::Block:
        return info.sequenceItem ? YamlRole::SequenceItem : YamlRole::Key;
    case Context::InOpenComment:
        return YamlRole::Key;
    case Context::InOpen:
    case Context::InBlockScalar:
    case Context::InPlain:
        break;
    }
    return YamlRole::InsideValue;
}

} // namespace

std::vector<ValueLines> readValueLines(Bytes body, const std::vector<std::pair<LineSpan, Bytes>> &lines, ReadFrom *from)
{
    std::vector<ValueLines> results;
    results.reserve(lines.size());
    std::vector<Follower> following;
    Scanner scanner(body.data() + body.size());
    LineFeeds lineFeeds(body);
    size_t asked = 0; // the next line asked about
    size_t number = 0;
    size_t start = 0;
    ReadFrom passed; // the last place passed where reading may begin
    if (from && !lines.empty() && lines.front().first.start >= from->start) {
        passed = *from;
        start = passed.start;
        number = passed.lines;
        if (passed.before.end > passed.before.start)
            scanner.pass(body.substr(passed.before.start, passed.before.end - passed.before.start), number);
    }
    for (; start < body.size() && (asked < lines.size() || !following.empty());) {
        // Most lines of a large file need not be read: no value is followed
        // there, none is asked about, and the line opens nothing.
        if (following.empty() && lines[asked].first.start != start && scanner.mayPass()) {
            size_t last = 0;
            size_t count = 0;
            const size_t stop = passPlainLines(body, start, lines[asked].first.start, last, count);
            if (count != 0) {
                number += count;
                scanner.pass(body.substr(last, stop - 1 - last), number);
                passed = {stop, number, {last, stop - 1}};
                start = stop;
                continue;
            }
        }
        const size_t textEnd = lineFeeds.next(start);
        const LineSpan span{start, textEnd < body.size() ? textEnd + 1 : textEnd};
        const Bytes text = body.substr(start, textEnd - start);
        ++number;
        // One at a time where they hold a bracket, are blank, or run on.
        if (following.empty() && lines[asked].first.start != start && scanner.mayPass()) {
            const bool plain = isPlainLine(text, body.data() + body.size());
            if (plain || leftTrimmed(text).empty()) {
                if (plain) {
                    scanner.pass(text, number);
                    passed = {span.end, number, {start, textEnd}};
                }
                start = span.end;
                continue;
            }
        }
        const Bytes line = body.substr(span.start, span.end - span.start);
        const LineInfo info = scanner.next(text, number);

        for (auto follower = following.begin(); follower != following.end();) {
            bool content = false;
            if (!belongs(*follower, info, content)) {
                follower = following.erase(follower);
                continue;
            }
            ValueLines &value = results[follower->result];
            Bytes key;
            const bool isEntry = !info.blank && entryKey(line, key);
            if (isEntry && info.comment) {
                follower->pendingKept.push_back(span); // stays where it is, if it is one of the value's lines
            } else if (isEntry && key != value.key && value.role == YamlRole::Key) {
                value.role = YamlRole::OtherKeysInValue;
                value.otherLine = number;
                value.otherKey = key;
            }
            if (content) {
                value.end = span.end;
                value.lastLine = number;
                value.kept.insert(value.kept.end(), follower->pendingKept.begin(), follower->pendingKept.end());
                follower->pendingKept.clear();
            }
            ++follower;
        }

        if (asked < lines.size() && lines[asked].first.start == start) {
            ValueLines value;
            value.key = lines[asked].second;
            value.entry = span;
            value.line = number;
            value.end = span.end;
            value.lastLine = number;
            value.role = roleOf(info);
            value.comment = info.comment;
            value.otherLine = info.openedLine;
            if (value.role == YamlRole::Key && !info.comment && info.carries != Carries::Nothing
                && (info.carries != Carries::Plain || scanner.plainGoesOn()))
                following.push_back({results.size(), info.carries, info.parent, {}});
            results.push_back(std::move(value));
            ++asked;
        }
        start = span.end;
    }
    if (from && passed.start > from->start)
        *from = passed;

    markAnchorsUsed(body, results);
    return results;
}

} // namespace detail
} // namespace yaml
} // namespace plinto
