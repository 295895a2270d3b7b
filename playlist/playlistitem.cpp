// One playlist row: a recording, its file information and its own parsing thread.
#include "playlistitem.h"

PlaylistItem::PlaylistItem()
    : parser(new VideoParser)
{ }

PlaylistItem::~PlaylistItem()
{
    delete parser;
}
