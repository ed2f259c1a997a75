#include "common/product_files.h"

#include <cstring>

#include "common/text.h"

namespace {

// The payload's entries, then what the install makes of them.
constexpr const char* installedNames[] = {
    "big5hz.ov1", "bjzt020.bmp", "bjzt030.bmp", "bjzt040.bmp", "bjzt120.bmp", "bjzt130.bmp",
    "bjzt140.bmp", "blank.jpg", "bmjb20.bmp", "bmjb30.bmp", "bmjb40.bmp", "bmjbx20.bmp",
    "bmjbx30.bmp", "bmjbx40.bmp", "cfontset.vrh", "vral01.jpg", "vral02.jpg", "vrbj01.jpg",
    "vrbmpfk5.bmp", "vrbmps44.bmp", "vrbyy0.bmp", "vrbyy1.bmp", "vrdwhz0.vrh", "vorn1.wav",
    "vorn2.wav", "vorn20.bmp", "vorn3.wav", "vorn30.bmp", "vorn320.ime", "vorn321.ime",
    "vorn4.wav", "vorn40.bmp", "vorn5.wav", "vorn6.wav", "vorn640.ime", "vorn641.ime", "vorn7.wav",
    "vorncyzk.vrh", "vorndel8.exe", "vorndhz.vrh", "vorndwdw.txt", "vorndzk0.vrh", "vorngbk.ovl",
    "vornel4.ime", "vornel64.ime", "vornel88.exe", "vornjfk.ov1", "vornpyck.vrh", "vornpymb.ov1",
    "vornskfh.vrh", "vornsrf.dll", "vornsrf6.dll", "vornszsj.vrh", "vornynhz.txt", "vornzdfh.vrh",
    "vornzdym.vrh", "vornqvtk.exe", "vrfcz.txt", "vrgbkbh.vrh", "vrgbkhz.vrh", "vrhzbs.vrh",
    "vrkeyyx1.wav", "vrpyjm1.txt", "vrpykey0.txt", "vrpykey1.txt", "vrpykey2.txt", "vrpykey3.txt",
    "vrpykey4.txt", "vrpykey5.txt", "vrpyltwj.vrh", "vrpyzdfy.txt", "vrpyzdym.vrh", "vrspeeke.txt",
    "vrspk1.txt", "vrspk2.txt", "vrspk3.txt", "vrspk4.txt", "vrszsj01.vrh", "vrszsj02.vrh",
    "vrszsj03.vrh", "vrszsj04.vrh", "vrszsj42.vrh", "vrszsj43.vrh", "vrszsj44.vrh", "vrver.txt",
    "vrwbjm.txt", "vrwbpy.txt", "vrxz0.bmp", "vrxz1.bmp", "VRQVTK41.BMP", "vrqvtk61.bmp",
    "vkjcdir.exe", "csrf732.dll", "csrf764.dll", "cwb.ov1", "cwbzlcz1.vrh", "ftvrzdym.txt",
    "ftpyzdym.txt", "ggbhver.dat", "jfb5hzb.txt", "jfhzb.txt", "jptb020.bmp", "jptb030.bmp",
    "jptb040.bmp", "jptb120.bmp", "jptb130.bmp", "jptb140.bmp", "ldlb20.bmp", "ldlb30.bmp",
    "ldlb40.bmp", "nbyy2.bmp", "pygfhzb.txt", "pyqspmb.txt", "pysymmb.dtd", "qxfc.vrz",
    "setupw64.exe", "skey0.bmp", "softkey.txt", "uwb.vrh", "wb1.swf", "wbgfhzb.txt", "wuxin1.bmp",
    "wuxin20.bmp", "wuxin30.bmp", "wuxin40.bmp", "xghjwjt.txt", "xghjwjw.txt", "zhtb20.bmp",
    "zhtb30.bmp", "zhtb40.bmp", "zjcztb20.bmp", "zjcztb30.bmp", "zjcztb40.bmp", "qvtk1.bmp",
    "冷色瓷面.vrz", "小天使.vrz", "粉色瓷面.vrz",
    "vornsetup.exe", "wbpybz.vrh", "vorndat.dat", "vrnetsj.dat", "vryhgl0.dat", "install.vrh",
    "vrbmp8.vrh", "vrbmpsx1.bmp", "vrbmpsx2.bmp", "vrbmpsx3.bmp", "vrbmpsx4.bmp", "vrbmpsx5.bmp",
    "vrbmpsx6.bmp", "vrbmpsx7.bmp",
};

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Equal but for the fifth-last character and the case of ASCII letters.
bool sameButFifthLast(const char* a, const char* b, size_t length) {
    if (std::strlen(b) != length) return false;
    for (size_t i = 0; i < length; ++i)
        if (i != length - 5 && lower(a[i]) != lower(b[i])) return false;
    return true;
}

}  // namespace

// '2' and '1' as earlier versions chose; the others for names where both are installed names
// (vrpykey0.txt's "2" and "1" are vrpykey2.txt and vrpykey1.txt).
const char asideMarks[] = {'2', '1', '~', '_'};
const size_t asideMarkCount = sizeof asideMarks;

bool isInstalledName(const char* name) {
    if (name == nullptr) return false;
    for (const char* installed : installedNames)
        if (sameTextIgnoringCase(name, installed)) return true;
    return false;
}

bool isAsideName(const char* name) {
    if (name == nullptr || isInstalledName(name)) return false;
    size_t length = std::strlen(name);
    if (length < 5 || std::memchr(asideMarks, name[length - 5], asideMarkCount) == nullptr) return false;
    for (const char* installed : installedNames)
        if (sameButFifthLast(name, installed, length)) return true;
    return false;
}

bool isProgramName(const char* name) {
    size_t length = std::strlen(name);
    if (length < 4) return false;
    const char* extension = name + length - 4;
    return sameTextIgnoringCase(extension, ".exe") || sameTextIgnoringCase(extension, ".dll") ||
           sameTextIgnoringCase(extension, ".ime");
}

// 0x1200A9: read, read attributes and extended attributes, execute, synchronise.
const char* const installedProgramSddl =
    "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;AU)(A;;0x1200a9;;;BU)(A;;0x1200a9;;;AC)";
