// Process-wide verdict on whether this computer can decode high-resolution H.264 and H.265 video.
#include "computeinfo.h"

#include <QDebug>

#include <vector>

namespace {

// Fragments of adapter names of one maker whose adapters decode a codec in hardware. They are
// matched as case-sensitive substrings; the order only decides which match is logged.
struct FragmentList
{
    const char *logLabel;
    std::vector<const char *> fragments;
};

const std::vector<FragmentList> &h265Lists()
{
    static const std::vector<FragmentList> lists = {
            {"Intel dCard H265:",
             {"Graphics 4400",
              "Graphics 4600",
              "Graphics 5500",
              "Graphics Family (Haswell)",
              "Graphics (Cherry Trail)",
              " Graphics (Apollo Lake)",
              "HD Graphics 500",
              "HD Graphics 515",
              "HD Graphics 520",
              "HD Graphics 530",
              "Iris Graphics 540",
              "HD Graphics 610",
              "HD Graphics 615",
              "HD Graphics 620",
              "HD Graphics 630",
              "Iris Graphics",
              "Iris Plus Graphics",
              "Pro Graphics 580",
              "UHD Graphics 605",
              "UHD Graphics 610",
              "UHD Graphics 617",
              "UHD Graphics 620",
              "UHD Graphics 630",
              "UHD Graphics",
              "Iris Xe"}},
            {"AMD dCard H265:",
             {"Pro WX 4100",
              "R5 Graphics (Bristol Ridge)",
              "R7 Graphics (Bristol Ridge)",
              "RX 460 Graphics",
              "RX 470 Graphics",
              "RX 480 Graphics",
              "550 Series",
              "RX 560 Series",
              "RX 570 Series",
              "RX 580 Series",
              "RX 590 Series",
              "RX Vega (Vega10)",
              "RX Vega 11 Graphics",
              "RX Vega M GL Graphics",
              "Vega 3 Graphics",
              "Vega 8 Graphics",
              "Vega 11 Graphics",
              "VII",
              "RX 5700",
              "RX 5700 XT",
              "RX 5600",
              "RX 5500",
              "RX 5300",
              "RX 640",
              "RX 590",
              "RX 580",
              "RX 570",
              "RX 560",
              "RX 550",
              "RX 540"}},
            {"NVIDIA dCard H265:",
             {"MX150",        "MX230",          "MX250",          "GTX 645",        "GTX 660",
              "GTX 670",      "GTX 675",        "GTX 680",        "GTX 745",        "GTX 750",
              "GTX 760",      "GTX 770",        "GTX 780",        "GTX 850",        "GTX 860",
              "GTX 950",      "GTX 960",        "GTX 965M",       "GTX 970",        "GTX 980",
              "GT 1030",      "GTX 1030",       "GTX 1050",       "GTX 1060",       "GTX 1070",
              "GTX 1080",     "GTX 1650",       "GTX 1660",       "RTX 2060",       "RTX 2070",
              "RTX 2080",     "GTX TITAN X",    "RTX 5000",       "Quadro M1000M",  "Quadro M4000",
              "Quadro P400",  "Quadro P2000",   "Quadro P4000",   "Quadro GP100",   "Quadro GV100",
              "Quadro P5000", "Quadro RTX8000", "Quadro RTX6000", "Quadro RTX4000", "Tesia P4",
              "Tesia P6",     "Tesia P40",      "Tesia P100",     "Tesia V100",     "Tesia T4",
              "RTX 3060",     "RTX 3070",       "RTX 3080",       "RTX 3090"}},
    };
    return lists;
}

const std::vector<FragmentList> &h264Lists()
{
    static const std::vector<FragmentList> lists = {
            {"Intel dCard H264:",
             {"Graphics 4400",
              "Graphics 4600",
              "Graphics 5500",
              "Graphics (Ivy Bridge)",
              "Graphics (Haswell)",
              "Graphics (Cherry Trail)",
              " Graphics (Apollo Lake)",
              "HD Graphics 500",
              "HD Graphics 515",
              "HD Graphics 520",
              "HD Graphics 530",
              "HD Graphics 610",
              "HD Graphics 615",
              "HD Graphics 620",
              "HD Graphics 630",
              "Iris Graphics",
              "Iris Plus Graphics",
              "Pro Graphics 580",
              "UHD Graphics",
              "UHD Graphics 605",
              "UHD Graphics 610",
              "UHD Graphics 617",
              "UHD Graphics 620",
              "UHD Graphics 630",
              "Embedded Media and Graphics Controller",
              "UHD Graphics",
              "Iris Xe"}},
            {"AMD dCard H264:",
             {"HD 3200 Graphics",
              "HD 3300 Graphics",
              "HD 4200",
              "HD 4200 Series",
              "HD 4300 Series",
              "HD 4500 Series",
              "HD 4550",
              "HD 4600 Series",
              " HD 4650",
              "HD 4800 Series",
              "HD 7610M",
              "Pro WX 4100",
              "R5 Graphics (Bristol Ridge)",
              "R7 Graphics (Bristol Ridge)",
              "R9 380 Series",
              "RX 460 Graphics",
              "RX 470 Graphics",
              "RX 480 Graphics",
              "550 Series",
              "RX 560 Series",
              "RX 570 Series",
              "RX 580 Series",
              "RX 590 Series",
              "RX Vega (Vega10)",
              "RX Vega 11 Graphics",
              "RX Vega M GL Graphics",
              "Vega 3 Graphics",
              "Vega 8 Graphics",
              "Vega 11 Graphics",
              "VII",
              "RX 5700",
              "RX 5700",
              "RX 5700 XT",
              "RX 5600",
              "RX 5500",
              "RX 5300",
              "RX 640",
              "RX 590",
              "RX 580",
              "RX 570",
              "RX 560",
              "RX 550",
              "RX 540"}},
            {"NVIDIA dCard H264:",
             {"MX150",          "MX230",          "MX250",        "GT 520",       "610M",
              "GT 610",         "GT 640",         "GT 645M",      "GTX 645",      "GT 650M",
              "GTX 650",        "GTX 660",        "GTX 670",      "GTX 675",      "GTX 680",
              "GT 710",         "GT 720",         "GT 730",       "GT 740",       "GT 740M",
              "GTX 745",        "GT 750M",        "GTX 750",      "GT 755M",      "GTX 760",
              "GTX 770",        "GTX 780",        "GTX 850",      "GTX 860",      "GTX 950",
              "GTX 960",        "GTX 965M",       "GTX 970",      "GTX 980",      "GT 1030",
              "GTX 1030",       "GTX 1050",       "GTX 1060",     "GTX 1070",     "GTX 1080",
              "GTX 1650",       "GTX 1660",       "RTX 2060",     "RTX 2070",     "RTX 2080",
              "GTX TITAN X",    "NVS 310",        "NVS 510",      "RTX 5000",     "Quadro K2000M",
              "Quadro K600",    "Quadro M1000M",  "Quadro M4000", "Quadro P400",  "Quadro P2000",
              "Quadro P4000",   "Quadro GP100",   "Quadro GV100", "Quadro P5000", "Quadro RTX8000",
              "Quadro RTX6000", "Quadro RTX4000", "Tesia P4",     "Tesia P6",     "Tesia P40",
              "Tesia P100",     "Tesia V100",     "Tesia T4",     "RTX 3060",     "RTX 3070",
              "RTX 3080",       "RTX 3090"}},
    };
    return lists;
}
// Walks every list and logs the first fragment of each that the adapter text contains.
bool matchesAnyList(const std::vector<FragmentList> &lists, const QString &adapterText)
{
    bool matched = false;
    for (const FragmentList &list : lists) {
        for (const char *fragment : list.fragments) {
            if (adapterText.contains(QLatin1String(fragment))) {
                qDebug() << list.logLabel << fragment;
                matched = true;
                break;
            }
        }
    }
    return matched;
}

// One maker's names, each after a line feed; a name already contained in the text is left out,
// as the same adapter is usually described under several keys.
QString familyText(const QStringList &descriptions)
{
    QString text;
    for (const QString &description : descriptions) {
        const QString name = description.trimmed();
        if (!name.isEmpty() && !text.contains(name))
            text += QLatin1Char('\n') + name;
    }
    return text;
}

QString answerText(std::optional<bool> answer)
{
    if (!answer)
        return QStringLiteral("unknown");
    return *answer ? QStringLiteral("yes") : QStringLiteral("no");
}

bool processorIsCapable(const QString &name)
{
    if (name.contains(QLatin1String("Intel"))) {
        const QLatin1String core("Core(TM) i");
        const int at = name.indexOf(core);
        if (at < 0) {
            qDebug() << " CPU: not interl Core(M)";
            return false;
        }
        // The digit after the marker is the class (i3, i5, i7, i9); a name that ends right at
        // the marker or goes on with another character counts as class 0.
        const int digitAt = at + core.size();
        const QChar digit = digitAt < name.size() ? name.at(digitAt) : QChar();
        const int level = digit >= QLatin1Char('0') && digit <= QLatin1Char('9')
                                  ? digit.unicode() - '0'
                                  : 0;
        if (level >= 3) {
            qDebug() << "CPU: >= intel Core(M) i3";
            return true;
        }
        qDebug() << " CPU: < intel Core(M) i3";
        return false;
    }
    if (name.contains(QLatin1String("AMD"))) {
        qDebug() << "CPU AMD";
        return true;
    }
    return false;
}

} // namespace

ComputeInfo *ComputeInfo::instance()
{
    static ComputeInfo *const info
            = new ComputeInfo(*createPlatformReader(), createDecoderRegistry().get());
    return info;
}

ComputeInfo::ComputeInfo(const PlatformReader &reader, const DecoderRegistry *decoders,
                         QObject *parent)
    : QObject(parent)
    , mBackendDecides(decoders != nullptr)
{
    const QString processor = reader.processorName();
    qDebug() << "CPU Info:" << processor;

    QString adapterText;
    for (AdapterFamily family : {AdapterFamily::Intel, AdapterFamily::Nvidia, AdapterFamily::Amd})
        adapterText += familyText(reader.adapterDescriptions(family));
    qDebug() << "Card Info:" << adapterText;

    mCpuLevelH = processorIsCapable(processor);
    if (decoders) {
        // A back end that cannot be asked may still play the recording; refusing it would be a
        // guess against the user, while a failed attempt shows for itself.
        const std::optional<bool> h265 = decoders->hasDecoder(VideoCodec::H265);
        const std::optional<bool> h264 = decoders->hasDecoder(VideoCodec::H264);
        isHDDecodeH265 = h265.value_or(true);
        isHDDecodeH264 = h264.value_or(true);
        const QStringList adapters = adapterText.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        qDebug().noquote() << QStringLiteral("Decoders: H264 %1, H265 %2; adapters: %3")
                                      .arg(answerText(h264), answerText(h265),
                                           adapters.isEmpty() ? QStringLiteral("none")
                                                              : adapters.join(QLatin1String(", ")));
    } else {
        isHDDecodeH265 = matchesAnyList(h265Lists(), adapterText);
        isHDDecodeH264 = matchesAnyList(h264Lists(), adapterText);
    }

    qDebug() << "isHDDecodeH265 = " << isHDDecodeH265;
    qDebug() << "isHDDecodeH264 = " << isHDDecodeH264;
    qDebug() << "mCpuLevelH = " << mCpuLevelH;
}

bool ComputeInfo::canPlay(int videoCodec, int width, int height) const
{
    // In 64 bits, so that the frame size of a damaged file cannot overflow into a small number.
    const qint64 pixels = qint64(width) * height;
    const bool processorSuffices = mCpuLevelH || mBackendDecides;
    switch (videoCodec) {
    case 2:
        return pixels <= MaxPixelsWithoutSupport || (isHDDecodeH265 && processorSuffices);
    case 1:
        return pixels <= MaxPixelsWithoutSupport || (isHDDecodeH264 && processorSuffices);
    default:
        return true;
    }
}
