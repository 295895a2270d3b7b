// Tests of the Linux reader against a fake /proc/cpuinfo, sysfs tree and PCI name database.
#include "system/computeinfo.h"
#include "system/platformreader_unix.h"
#include "systemfixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const char PciIds[] = "# Fake PCI name database\n"
                      "#\tof the same shape as the real one\n"
                      "\n"
                      "1002  Advanced Micro Devices, Inc. [AMD/ATI]\n"
                      "\t3ea0  Not the Intel device\n"
                      "\t67df  Ellesmere [Radeon RX 470/480/570/570X/580/580X/590]\n"
                      "\t\t1002 0b37  Radeon RX 480\n"
                      "\t\t1462 0b37  Not this board\n"
                      "\t\t1462 3418  Radeon RX 580 Armor 4G OC\n"
                      "\t731f  Navi 10 [Radeon RX 5600 OEM/5600 XT / 5700/5700 XT]\n"
                      "10de  NVIDIA Corporation\r\n"
                      "\t1c8d  GP107M [GeForce GTX 1050 Mobile]\r\n"
                      "\t1d10  GP108M [GeForce MX150]\r\n"
                      "8086  Intel Corporation\n"
                      "\t0412  Xeon E3-1200 v3/4th Gen Core Processor Integrated Graphics "
                      "Controller\n"
                      "\t\t17aa 309f  ThinkCentre M83\n"
                      "\t3ea0  WhiskeyLake-U GT2 [UHD Graphics 620]\n"
                      "\t\t1028 0869  Dell UHD Graphics 620\n"
                      "\t46a6  Alder Lake-P Integrated Graphics Controller\n"
                      "\t9dc8  Cannon Point-LP High Definition Audio Controller\n"
                      "\n"
                      "C 03  Display controller\n"
                      "\t00  VGA compatible controller\n";

struct Device
{
    const char *slot;
    const char *deviceClass;
    const char *vendor;
    const char *device;
    // The board maker's ids; not written when null.
    const char *subsystemVendor = nullptr;
    const char *subsystemDevice = nullptr;
};

// Display devices of all three makers, one the database does not know, and devices of other
// classes that must be passed over. The Navi board's subsystem is listed under another device.
const Device Devices[] = {
        {"0000:00:02.0", "0x030000", "0x8086", "0x3ea0", "0x1028", "0x0869"},
        {"0000:00:1f.3", "0x040380", "0x8086", "0x9dc8"},
        {"0000:01:00.0", "0x030200", "0x10de", "0x1c8d"},
        {"0000:02:00.0", "0x038000", "0x1002", "0x731f", "0x1002", "0x0b37"},
        {"0000:03:00.0", "0x030000", "0x1002", "0x67df", "0x1462", "0x3418"},
        {"0000:04:00.0", "0x030000", "0x8086", "0x0bad"},
        {"0000:05:00.0", "garbage", "0x10de", "0x1d10"},
        {"0000:06:00.0", "0x020000", "0x10de", "0x1d10"},
};

// Computers with one display adapter each, and one with none.
const Device Rx580 = {"0000:01:00.0", "0x030000", "0x1002", "0x67df", "0x1462", "0x3418"};
const Device Hd4600 = {"0000:00:02.0", "0x030000", "0x8086", "0x0412", "0x17aa", "0x309f"};
const Device AlderLake = {"0000:00:02.0", "0x030000", "0x8086", "0x46a6", "0x1028", "0x0b19"};
const Device AudioOnly = {"0000:00:1f.3", "0x040380", "0x8086", "0x9dc8"};

} // namespace

Q_DECLARE_METATYPE(Device)

class TestUnixPlatformReader : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void processorName_data();
    void processorName();
    void missingProcessorInfoReadsEmpty();
    void adapterNames_data();
    void adapterNames();
    void laterDatabasePathIsUsedWhenTheFirstIsMissing();
    void missingDatabaseLeavesAdaptersUnnamed();
    void overlongDatabaseLinesAreSkipped();
    void detectionFromTheFakeMachine();
    void namesSplit_data();
    void namesSplit();
    void loggedAdapterNames_data();
    void loggedAdapterNames();

private:
    void writeFile(const QString &relative, const QByteArray &content);
    void writeDevice(const Device &device);
    UnixPlatformReader::Paths fakePaths() const;

    QScopedPointer<QTemporaryDir> mRoot;
};

void TestUnixPlatformReader::writeFile(const QString &relative, const QByteArray &content)
{
    const QString path = mRoot->filePath(relative);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), qint64(content.size()));
}

void TestUnixPlatformReader::writeDevice(const Device &device)
{
    const QString base = QStringLiteral("sys/bus/pci/devices/%1/").arg(device.slot);
    writeFile(base + "class", QByteArray(device.deviceClass) + '\n');
    writeFile(base + "vendor", QByteArray(device.vendor) + '\n');
    writeFile(base + "device", QByteArray(device.device) + '\n');
    if (device.subsystemVendor) {
        writeFile(base + "subsystem_vendor", QByteArray(device.subsystemVendor) + '\n');
        writeFile(base + "subsystem_device", QByteArray(device.subsystemDevice) + '\n');
    }
}

UnixPlatformReader::Paths TestUnixPlatformReader::fakePaths() const
{
    UnixPlatformReader::Paths paths;
    paths.cpuInfo = mRoot->filePath(QStringLiteral("proc/cpuinfo"));
    paths.pciDevices = mRoot->filePath(QStringLiteral("sys/bus/pci/devices"));
    paths.pciIds = QStringList{mRoot->filePath(QStringLiteral("share/misc/pci.ids"))};
    return paths;
}

void TestUnixPlatformReader::init()
{
    mRoot.reset(new QTemporaryDir);
    QVERIFY(mRoot->isValid());
    for (const Device &device : Devices)
        writeDevice(device);
    writeFile(QStringLiteral("share/misc/pci.ids"), PciIds);
}

void TestUnixPlatformReader::processorName_data()
{
    QTest::addColumn<QByteArray>("cpuInfo");
    QTest::addColumn<QString>("name");

    QTest::newRow("first processor's name")
            << QByteArray("processor\t: 0\nvendor_id\t: GenuineIntel\n"
                          "model name\t: Intel(R) Core(TM) i5-8265U CPU @ 1.60GHz\n\n"
                          "processor\t: 1\nmodel name\t: Other\n")
            << "Intel(R) Core(TM) i5-8265U CPU @ 1.60GHz";
    QTest::newRow("no name line") << QByteArray("processor\t: 0\nBogoMIPS\t: 48.00\n\n")
                                  << QString();
    QTest::newRow("name without line end")
            << QByteArray("model name\t: AMD Ryzen 5 3500U") << "AMD Ryzen 5 3500U";
}

void TestUnixPlatformReader::processorName()
{
    QFETCH(QByteArray, cpuInfo);
    QFETCH(QString, name);

    writeFile(QStringLiteral("proc/cpuinfo"), cpuInfo);
    QCOMPARE(UnixPlatformReader(fakePaths()).processorName(), name);
}

void TestUnixPlatformReader::missingProcessorInfoReadsEmpty()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot read the processor name"));
    QCOMPARE(UnixPlatformReader(fakePaths()).processorName(), QString());
}

void TestUnixPlatformReader::adapterNames_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("Intel, unknown device left out")
            << int(AdapterFamily::Intel)
            << QStringList{"WhiskeyLake-U GT2", "UHD Graphics 620", "Dell UHD Graphics 620"};
    QTest::newRow("NVIDIA, database with CRLF lines")
            << int(AdapterFamily::Nvidia) << QStringList{"GP107M", "GeForce GTX 1050 Mobile"};
    QTest::newRow("AMD, in slot order, board names of their own device only")
            << int(AdapterFamily::Amd)
            << QStringList{"Navi 10",           "Radeon RX 5600 OEM",
                           "Radeon RX 5600 XT", "Radeon RX 5700",
                           "Radeon RX 5700 XT", "Ellesmere",
                           "Radeon RX 470",     "Radeon RX 480",
                           "Radeon RX 570",     "Radeon RX 570X",
                           "Radeon RX 580",     "Radeon RX 580X",
                           "Radeon RX 590",     "Radeon RX 580 Armor 4G OC"};
}

void TestUnixPlatformReader::adapterNames()
{
    QFETCH(int, family);
    QFETCH(QStringList, names);

    if (family == int(AdapterFamily::Intel))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("8086:0bad is not in"));
    QCOMPARE(UnixPlatformReader(fakePaths()).adapterDescriptions(AdapterFamily(family)), names);
}

void TestUnixPlatformReader::laterDatabasePathIsUsedWhenTheFirstIsMissing()
{
    UnixPlatformReader::Paths paths = fakePaths();
    paths.pciIds.prepend(mRoot->filePath(QStringLiteral("missing/pci.ids")));
    QCOMPARE(UnixPlatformReader(paths).adapterDescriptions(AdapterFamily::Nvidia),
             (QStringList{"GP107M", "GeForce GTX 1050 Mobile"}));
}

void TestUnixPlatformReader::missingDatabaseLeavesAdaptersUnnamed()
{
    UnixPlatformReader::Paths paths = fakePaths();
    paths.pciIds = QStringList{mRoot->filePath(QStringLiteral("missing/pci.ids"))};
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no PCI name database"));
    QCOMPARE(UnixPlatformReader(paths).adapterDescriptions(AdapterFamily::Nvidia), QStringList());
}

void TestUnixPlatformReader::overlongDatabaseLinesAreSkipped()
{
    // A damaged line far longer than any entry, which itself looks like the start of an entry,
    // must neither be taken for one nor swallow the line after it.
    const QByteArray damage = "\t1c8d  " + QByteArray(100000, 'x') + '\n';
    QByteArray database(PciIds);
    database.insert(database.indexOf("\t1c8d"), damage);
    writeFile(QStringLiteral("share/misc/pci.ids"), database);
    QCOMPARE(UnixPlatformReader(fakePaths()).adapterDescriptions(AdapterFamily::Nvidia),
             (QStringList{"GP107M", "GeForce GTX 1050 Mobile"}));
}

void TestUnixPlatformReader::detectionFromTheFakeMachine()
{
    writeFile(QStringLiteral("proc/cpuinfo"),
              "model name\t: Intel(R) Core(TM) i5-8265U CPU @ 1.60GHz\n");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("8086:0bad is not in"));
    const ComputeInfo info(UnixPlatformReader{fakePaths()});
    QVERIFY(info.isHDDecodeH265);
    QVERIFY(info.isHDDecodeH264);
    QVERIFY(info.mCpuLevelH);
}

void TestUnixPlatformReader::namesSplit_data()
{
    QTest::addColumn<QString>("databaseName");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("numbered series")
            << "Ellesmere [Radeon RX 470/480/570/570X/580/580X/590]"
            << QStringList{"Ellesmere",      "Radeon RX 470", "Radeon RX 480",  "Radeon RX 570",
                           "Radeon RX 570X", "Radeon RX 580", "Radeon RX 580X", "Radeon RX 590"};
    QTest::newRow("models with suffixes, spaced slash")
            << "Navi 10 [Radeon RX 5600 OEM/5600 XT / 5700/5700 XT]"
            << QStringList{"Navi 10", "Radeon RX 5600 OEM", "Radeon RX 5600 XT", "Radeon RX 5700",
                           "Radeon RX 5700 XT"};
    QTest::newRow("no number: a single word takes the series")
            << "RV380 [Radeon X550/X600] (Secondary)"
            << QStringList{"RV380 (Secondary)", "Radeon X550", "Radeon X600"};
    QTest::newRow("full names on both sides")
            << "Raven Ridge [Radeon Vega Series / Radeon Vega Mobile Series]"
            << QStringList{"Raven Ridge", "Radeon Vega Series", "Radeon Vega Mobile Series"};
    QTest::newRow("name of its own after a number")
            << "RV350 [Radeon 9550/9600/X1050 Series]"
            << QStringList{"RV350", "Radeon 9550", "Radeon 9600", "X1050 Series"};
    QTest::newRow("a full name starts a series of its own")
            << "Sun XT [Radeon HD 8670A/8670M/8690M / R5 M330 / M430]"
            << QStringList{"Sun XT",          "Radeon HD 8670A", "Radeon HD 8670M",
                           "Radeon HD 8690M", "R5 M330",         "R5 M430"};
    QTest::newRow("HD 4600 without brackets")
            << "Xeon E3-1200 v3/4th Gen Core Processor Integrated Graphics Controller"
            << QStringList{"Xeon E3-1200 v3",
                           "4th Gen Core Processor Integrated Graphics Controller"};
    QTest::newRow("Alder Lake") << "Alder Lake-P Integrated Graphics Controller"
                                << QStringList{"Alder Lake-P Integrated Graphics Controller"};
    QTest::newRow("board name") << "Nitro+ Radeon RX 570/580/590"
                                << QStringList{"Nitro+ Radeon RX 570", "Nitro+ Radeon RX 580",
                                               "Nitro+ Radeon RX 590"};
    QTest::newRow("empty brackets and slashes") << "Chip [ / ]" << QStringList{"Chip"};
    QTest::newRow("unclosed bracket") << "Chip [Radeon/X" << QStringList{"Chip [Radeon", "Chip X"};
    QTest::newRow("empty") << QString() << QStringList();
}

void TestUnixPlatformReader::namesSplit()
{
    QFETCH(QString, databaseName);
    QFETCH(QStringList, names);

    QCOMPARE(UnixPlatformReader::adapterNames(databaseName), names);
}

void TestUnixPlatformReader::loggedAdapterNames_data()
{
    QTest::addColumn<Device>("adapter");
    QTest::addColumn<QByteArray>("decoders");
    QTest::addColumn<QString>("line");

    QTest::newRow("RX 580: chip, models of its series, board")
            << Rx580 << QByteArray("h264 h265")
            << "Decoders: H264 yes, H265 yes; adapters: Ellesmere, Radeon RX 470, Radeon RX 480, "
               "Radeon RX 570, Radeon RX 570X, Radeon RX 580, Radeon RX 580X, Radeon RX 590, "
               "Radeon RX 580 Armor 4G OC";
    QTest::newRow("HD 4600: two full names, board")
            << Hd4600 << QByteArray("h264")
            << "Decoders: H264 yes, H265 no; adapters: Xeon E3-1200 v3, 4th Gen Core Processor "
               "Integrated Graphics Controller, ThinkCentre M83";
    QTest::newRow("Alder Lake: board not in the database")
            << AlderLake << QByteArray("?")
            << "Decoders: H264 unknown, H265 unknown; adapters: Alder Lake-P Integrated Graphics "
               "Controller";
    QTest::newRow("no display adapter")
            << AudioOnly << QByteArray() << "Decoders: H264 no, H265 no; adapters: none";
}

// With the media back end deciding, the names only explain its answers in the log.
void TestUnixPlatformReader::loggedAdapterNames()
{
    QFETCH(Device, adapter);
    QFETCH(QByteArray, decoders);
    QFETCH(QString, line);

    QVERIFY(QDir(mRoot->filePath(QStringLiteral("sys"))).removeRecursively());
    writeDevice(adapter);
    writeFile(QStringLiteral("proc/cpuinfo"), QByteArray());
    const FakeDecoders registry(decoders);
    LogCapture log;
    const ComputeInfo info(UnixPlatformReader{fakePaths()}, &registry);
    QCOMPARE(log.lines().filter(QStringLiteral("Decoders:")), QStringList{line});
}

QTEST_GUILESS_MAIN(TestUnixPlatformReader)
#include "tst_unixplatformreader.moc"
