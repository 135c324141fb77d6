// The prompt watcher on a port that delivers the input's bursts. The head of
// the input sets the case rule, up to four strings to watch (carets and all)
// and whether the handler changes the strings from inside a report; the rest
// is the received stream. Every report must be one a plain model expects: the
// strings decoded by the caret rule, a received NUL taken as a blank, a report
// for each entry (in entry order) whose string ends the stream so far.
#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "serial/SpWaitMessage.h"

#include <vector>

namespace Fuzz {
namespace {

QByteArray decoded(const QByteArray& entry)
{
    QByteArray out;
    for (qsizetype i = 0; i < entry.size(); ++i) {
        if (entry[i] != '^' || i + 1 == entry.size()) {
            out += entry[i];
            continue;
        }
        const char next = entry[++i];
        if (next == '^')
            break;
        const bool letter = (next >= 'A' && next <= 'Z') || (next >= 'a' && next <= 'z');
        if (letter)
            out += char((next & ~0x20) - 64);
        else
            out += QByteArray(1, '^') + next;
    }
    return out;
}

bool endsWith(const QByteArray& stream, const QByteArray& pattern, bool caseSensitive)
{
    if (pattern.isEmpty() || stream.size() < pattern.size())
        return false;
    const QByteArray tail = stream.right(pattern.size());
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; };
    for (qsizetype i = 0; i < tail.size(); ++i)
        if (caseSensitive ? tail[i] != pattern[i] : upper(tail[i]) != upper(pattern[i]))
            return false;
    return true;
}

} // namespace

void PromptWatcher(const uint8_t* data, size_t size)
{
    TInput input(data, size);
    const uint8_t flags = input.Byte();
    const bool caseSensitive = flags & 1;
    const bool changeInReport = flags & 2;
    QList<QByteArray> strings;
    for (int n = input.Byte() % 5; n > 0; --n)
        strings << input.Take(input.Byte() % 8);

    TSpComm port;
    TSpWaitMessage watcher;
    watcher.SetComm(&port);
    watcher.SetCaseSensitive(caseSensitive);
    watcher.SetStrings(strings);
    std::vector<int> reported;
    bool changed = false;
    watcher.OnMessage = [&](TSpWaitMessage* sender, int index) {
        Check(sender == &watcher, "a report names another sender");
        Check(index >= 0 && index < sender->Strings().size(), "a report names no entry");
        reported.push_back(index);
        if (changeInReport && !changed) {
            changed = true;
            QList<QByteArray> fewer = sender->Strings();
            fewer.removeAt(index);
            sender->SetStrings(fewer); // the windows start again from here
        }
    };

    std::vector<int> expected;
    QByteArray stream;
    while (!input.AtEnd()) {
        const QByteArray burst = input.Burst();
        port.DeliverReceived(reinterpret_cast<const uint8_t*>(burst.constData()), int(burst.size()));
        for (char c : burst) {
            stream += c == '\0' ? ' ' : c;
            for (int i = 0; i < strings.size(); ++i)
                if (endsWith(stream, decoded(strings[i]), caseSensitive))
                    expected.push_back(i);
        }
        // After the handler changed the strings, only safety is checked.
        if (!changed)
            Check(reported == expected, "the watcher's reports differ from the strings received");
    }
}

} // namespace Fuzz
