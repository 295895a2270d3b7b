// Meta-type registration of the records that cross threads inside queued signals.
#include "gpsdata.h"
#include "videoinfo.h"

void registerRecordMetaTypes()
{
    qRegisterMetaType<VideoInfo>("VideoInfo");
    qRegisterMetaType<GpsData>("GpsData");
    qRegisterMetaType<QList<GpsData>>("QList<GpsData>");
}
