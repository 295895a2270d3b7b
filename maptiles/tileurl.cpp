// Addresses of the offline map's tiles.
#include "tileurl.h"

#include <QStringList>
#include <QVector>

#include <limits>

namespace {

bool parseNumber(const QString &text, quint64 *value)
{
    // toULongLong alone would take a sign or surrounding blanks.
    if (text.isEmpty() || text.size() > 19)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    *value = text.toULongLong();
    return true;
}

} // namespace

bool parseTileUrl(const QUrl &url, TileUrl *out)
{
    if (!url.isValid() || url.scheme() != QLatin1String(TileUrlScheme) || url.port() != -1
        || !url.userInfo().isEmpty())
        return false;
    TileUrl parsed;
    int expected = 3;
    if (url.host() == QLatin1String("tiles")) {
        parsed.map = TileUrl::Map::File;
        expected = 4;
    } else if (url.host() != QLatin1String("base")) {
        return false;
    }
    const QStringList parts = url.path().split(QLatin1Char('/'));
    // The path starts with a slash, so the first part is empty.
    if (parts.size() != expected + 1 || !parts.first().isEmpty())
        return false;
    QVector<quint64> numbers;
    for (int i = 1; i < parts.size(); ++i) {
        quint64 value = 0;
        if (!parseNumber(parts[i], &value))
            return false;
        numbers.append(value);
    }
    if (parsed.map == TileUrl::Map::File)
        parsed.generation = numbers.takeFirst();
    for (const quint64 coordinate : numbers) {
        if (coordinate > quint64(std::numeric_limits<int>::max()))
            return false;
    }
    parsed.z = int(numbers[0]);
    parsed.x = int(numbers[1]);
    parsed.y = int(numbers[2]);
    *out = parsed;
    return true;
}

QString baseTileUrlTemplate()
{
    return QStringLiteral("%1://base/{z}/{x}/{y}").arg(QLatin1String(TileUrlScheme));
}

QString fileTileUrlTemplate(quint64 generation)
{
    return QStringLiteral("%1://tiles/%2/{z}/{x}/{y}")
            .arg(QLatin1String(TileUrlScheme))
            .arg(generation);
}
