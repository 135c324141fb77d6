#include "SpNetAddress.h"

namespace {

// Read by hand, not with regular expressions: the port opens in the session's
// worker thread, and under mingw a QRegularExpression used there crashes that
// thread's end.

bool isAsciiLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Letters, digits and what names, IPv4 and IPv6 addresses (with a zone) hold.
bool isHost(const QString& host)
{
    for (const QChar c : host)
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != u'.' && c != u'_' && c != u':' && c != u'%' && c != u'-')
            return false;
    return !host.isEmpty();
}

const char* const Forms = "tcp://HOST:PORT or rfc2217://HOST:PORT";

QString Wrong(const QString& name, const QString& what)
{
    return QStringLiteral("%1 is not a network address: %2 (use %3)").arg(name, what, QLatin1String(Forms));
}

} // namespace

bool spIsNetworkName(const QString& name)
{
    // A scheme: a letter, then letters, digits, "+", "." or "-", then "://".
    const qsizetype end = name.indexOf(QLatin1String("://"));
    if (end < 1 || !isAsciiLetter(name[0]))
        return false;
    for (qsizetype i = 1; i < end; ++i)
        if (!isAsciiLetter(name[i]) && !isAsciiDigit(name[i]) && name[i] != u'+' && name[i] != u'.' && name[i] != u'-')
            return false;
    return true;
}

std::optional<TSpNetAddress> spParseNetAddress(const QString& name, QString& error)
{
    const qsizetype schemeEnd = name.indexOf(QLatin1String("://"));
    if (schemeEnd < 0 || !spIsNetworkName(name)) {
        error = Wrong(name, QStringLiteral("no scheme"));
        return std::nullopt;
    }
    TSpNetAddress address;
    const QString scheme = name.left(schemeEnd).toLower();
    if (scheme == QLatin1String("tcp"))
        address.Kind = TSpNetAddress::Raw;
    else if (scheme == QLatin1String("rfc2217"))
        address.Kind = TSpNetAddress::Rfc2217;
    else {
        error = Wrong(name, QStringLiteral("unknown scheme \"%1\"").arg(name.left(schemeEnd)));
        return std::nullopt;
    }
    const QString rest = name.mid(schemeEnd + 3);
    qsizetype colon;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0) {
            error = Wrong(name, QStringLiteral("the IPv6 address has no closing bracket"));
            return std::nullopt;
        }
        address.Host = rest.mid(1, close - 1);
        colon = close + 1;
        if (colon < rest.size() && rest[colon] != u':') {
            error = Wrong(name, QStringLiteral("a colon and the port must follow the bracket"));
            return std::nullopt;
        }
    } else {
        colon = rest.lastIndexOf(u':');
        address.Host = rest.left(colon < 0 ? rest.size() : colon);
        if (address.Host.contains(u':')) {
            error = Wrong(name, QStringLiteral("an IPv6 address goes in brackets, as [::1]"));
            return std::nullopt;
        }
    }
    if (!isHost(address.Host)) {
        error = Wrong(name, address.Host.isEmpty() ? QStringLiteral("no host") : QStringLiteral("the host is not a name or an address"));
        return std::nullopt;
    }
    const QString port = colon < 0 || colon >= rest.size() ? QString() : rest.mid(colon + 1);
    if (port.isEmpty()) {
        error = Wrong(name, QStringLiteral("no port"));
        return std::nullopt;
    }
    bool digits = port.size() <= 5;
    for (const QChar c : port)
        digits = digits && isAsciiDigit(c);
    address.Port = digits ? port.toInt() : 0;
    if (address.Port < 1 || address.Port > 65535) {
        error = Wrong(name, QStringLiteral("the port must be a number from 1 to 65535"));
        return std::nullopt;
    }
    return address;
}
