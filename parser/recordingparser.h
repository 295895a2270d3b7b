// Chooses the container parser for a recording by its file name.
#pragma once

#include "parserobject.h"

#include <memory>

// An AVI parser for names ending in ".AVI" in any case, an MP4 parser for everything else; the
// returned parser has already walked the file.
std::unique_ptr<ParserObject> createRecordingParser(const QString &fileName);
