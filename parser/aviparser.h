// Parser of AVI recordings: file information from the main header, records from "GPSL" or "01wb".
#pragma once

#include "parserobject.h"

class AVIParser : public ParserObject
{
    Q_OBJECT

public:
    explicit AVIParser(const QString &fileName, QObject *parent = nullptr);

private:
    void findMainHeader();
    bool findGpsList();
    void findAudioChunks();
};
