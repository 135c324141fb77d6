#include "SpNetAddress.h"

namespace {

// Plain loops, no regular expressions: the port opens in the worker thread,
// and under mingw a regular expression used there broke that thread's exit.
bool IsAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool IsAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool AllOf(const QString& text, bool (*allowed)(QChar))
{
    for (QChar c : text)
        if (!allowed(c))
            return false;
    return true;
}

bool IsSchemeChar(QChar c)
{
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == u'+' || c == u'.' || c == u'-';
}

bool IsHostChar(QChar c)
{
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == u'.' || c == u'_' || c == u':' || c == u'%' || c == u'-';
}

const char* const Forms = "tcp://HOST:PORT or rfc2217://HOST:PORT";

QString Wrong(const QString& name, const QString& what)
{
    return QStringLiteral("%1 is not a network address: %2 (use %3)").arg(name, what, QLatin1String(Forms));
}

} // namespace

bool spIsNetworkName(const QString& name)
{
    const qsizetype end = name.indexOf(QLatin1String("://"));
    return end > 0 && IsAsciiLetter(name.at(0)) && AllOf(name.left(end), IsSchemeChar);
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
    if (address.Host.isEmpty() || !AllOf(address.Host, IsHostChar)) {
        error = Wrong(name, address.Host.isEmpty() ? QStringLiteral("no host") : QStringLiteral("the host is not a name or an address"));
        return std::nullopt;
    }
    const QString port = colon < 0 || colon >= rest.size() ? QString() : rest.mid(colon + 1);
    if (port.isEmpty()) {
        error = Wrong(name, QStringLiteral("no port"));
        return std::nullopt;
    }
    address.Port = port.size() <= 5 && AllOf(port, IsAsciiDigit) ? port.toInt() : 0;
    if (address.Port < 1 || address.Port > 65535) {
        error = Wrong(name, QStringLiteral("the port must be a number from 1 to 65535"));
        return std::nullopt;
    }
    return address;
}
