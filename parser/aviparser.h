// Parser of AVI recordings: file information from the main header, records from "GPSL" or "01wb".
#pragma once

#include "parserobject.h"

class AVIParser : public ParserObject
{
    Q_OBJECT

public:
    explicit AVIParser(const QString &fileName, QObject *parent = nullptr);
    explicit AVIParser(const QByteArray &contents, QObject *parent = nullptr);

private:
    void parse();
    void findMainHeader();
    bool findGpsList();
    void findAudioChunks();
};
