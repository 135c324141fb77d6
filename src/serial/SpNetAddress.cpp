#include "SpNetAddress.h"

#include <QRegularExpression>

namespace {

const char* const Forms = "tcp://HOST:PORT or rfc2217://HOST:PORT";

QString Wrong(const QString& name, const QString& what)
{
    return QStringLiteral("%1 is not a network address: %2 (use %3)").arg(name, what, QLatin1String(Forms));
}

} // namespace

bool spIsNetworkName(const QString& name)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    return scheme.match(name).hasMatch();
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
    static const QRegularExpression hostChars(QStringLiteral("^[A-Za-z0-9._:%-]+$"));
    if (address.Host.isEmpty() || !hostChars.match(address.Host).hasMatch()) {
        error = Wrong(name, address.Host.isEmpty() ? QStringLiteral("no host") : QStringLiteral("the host is not a name or an address"));
        return std::nullopt;
    }
    const QString port = colon < 0 || colon >= rest.size() ? QString() : rest.mid(colon + 1);
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (port.isEmpty()) {
        error = Wrong(name, QStringLiteral("no port"));
        return std::nullopt;
    }
    address.Port = digits.match(port).hasMatch() ? port.toInt() : 0;
    if (address.Port < 1 || address.Port > 65535) {
        error = Wrong(name, QStringLiteral("the port must be a number from 1 to 65535"));
        return std::nullopt;
    }
    return address;
}
