// The shard rule is part of the command's interface: the README documents it for programs that
// split a list themselves, so it must never change.
#include "shard.h"

#include <QRegularExpression>

bool Shard::fromText(const QString &text, Shard *shard)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,18})/([0-9]{1,18})$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return false;
    const quint64 index = match.captured(1).toULongLong();
    const quint64 count = match.captured(2).toULongLong();
    if (count < 1 || index >= count)
        return false;
    shard->mIndex = index;
    shard->mCount = count;
    return true;
}

quint64 Shard::hash(const QByteArray &bytes)
{
    quint64 value = 14695981039346656037ULL;
    for (const char byte : bytes) {
        value ^= quint8(byte);
        value *= 1099511628211ULL;
    }
    return value;
}

bool Shard::holds(const QString &path) const
{
    return mCount == 1 || hash(path.toUtf8()) % mCount == mIndex;
}
