// How records rendered one at a time, such as in worker threads, join into one document.
#pragma once

#include <QByteArray>

// A document is begin, the records with separator between each two, then end; each record's
// text carries its own line breaks.
struct DocumentFrame
{
    QByteArray begin;
    QByteArray separator;
    QByteArray end;
};
