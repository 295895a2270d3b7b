// One of N parts of a list of recordings, chosen by a hash of each path so that separate
// processes, given the same list, share it out without talking to each other.
#pragma once

#include <QString>
#include <QtGlobal>

class Shard
{
public:
    // The whole list: every path is in it.
    Shard() = default;

    // "I/N" with 0 <= I < N, both decimal; false for anything else.
    static bool fromText(const QString &text, Shard *shard);
    // FNV-1a, 64 bits, of the bytes: stable across machines, versions and languages, and simple
    // to compute anywhere a list is prepared.
    static quint64 hash(const QByteArray &bytes);

    // Whether the path, as printed (UTF-8), hashes to this part.
    bool holds(const QString &path) const;

private:
    quint64 mIndex = 0;
    quint64 mCount = 1;
};
