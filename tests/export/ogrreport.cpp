// What GDAL's ogrinfo reads in a file, for the tests that check exports with a real reader.
#include "ogrreport.h"

#include <QDebug>
#include <QProcess>
#include <QStandardPaths>

QString ogrReport(const QString &file)
{
    const QString ogrinfo = QStandardPaths::findExecutable(QStringLiteral("ogrinfo"));
    if (ogrinfo.isEmpty())
        return QString();
    QProcess reader;
    reader.start(ogrinfo, {"-ro", "-al", "-q", file});
    if (!reader.waitForFinished(60000) || reader.exitCode() != 0)
        qWarning() << "ogrinfo failed:" << reader.readAllStandardError();
    return QString::fromUtf8(reader.readAllStandardOutput());
}
