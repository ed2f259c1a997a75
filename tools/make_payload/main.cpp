// make_payload: writes the platform's 137 files and packs them, in the order the setup extracts
// them, into the payload container that vornsetup.exe carries.
//
//   make_payload --modules DIR --out DIR
//
// DIR of --modules holds the built programs and modules of the platform (32-bit and 64-bit);
// everything else is generated here, the same bytes on every run. --out receives payload.vrz
// and, in files/, every file as packed (the skins' GBK names as UTF-8 on this disk).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "artwork.h"
#include "content.h"
#include "jpeg.h"
#include "payload/archive.h"
#include "payload/older_archive.h"
#include "platform/files.h"
#include "sounds.h"
#include "tables.h"

namespace {

using content::Bytes;

std::string modulesDir;
std::string outDir;

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "make_payload: %s\n", why.c_str());
    std::exit(1);
}

// Paths are 8-bit GBK texts for the platform layer; it keeps them as UTF-8 on the host.
std::string joined(const std::string& dir, const std::string& name) {
    // The container takes the name after the last backslash.
    return dir + "\\" + name;
}

Bytes readFile(const std::string& path) {
    plat::FileHandle file = plat::lopen(path.c_str(), plat::ofRead);
    if (file == plat::fileError) fail("cannot read " + path);
    long size = plat::llseek(file, 0, plat::seekEnd);
    plat::llseek(file, 0, plat::seekSet);
    Bytes bytes(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    unsigned read =
        bytes.empty() ? 0 : plat::lread(file, bytes.data(), static_cast<unsigned>(bytes.size()));
    plat::lclose(file);
    if (read != bytes.size()) fail("short read of " + path);
    return bytes;
}

void writeFile(const std::string& path, const Bytes& bytes) {
    plat::FileHandle file = plat::lcreat(path.c_str(), 0);
    if (file == plat::fileError) fail("cannot create " + path);
    unsigned written =
        bytes.empty() ? 0 : plat::lwrite(file, bytes.data(), static_cast<unsigned>(bytes.size()));
    plat::lclose(file);
    if (written != bytes.size()) fail("short write of " + path);
}

void ensureDirectory(const std::string& path) {
    plat::createDirectory(path.c_str());
    if (!plat::directoryOpens(path.c_str())) fail("cannot create the directory " + path);
}

Bytes module(const char* name) { return readFile(joined(modulesDir, name)); }

Bytes bitmap24(const content::Canvas& canvas) { return canvas.bmp24(); }
Bytes bitmap8(const content::Canvas& canvas) { return canvas.bmp8(); }

// "qxfc.vrz": the phrase classes of the input method's word segmentation, a current-layout
// container of three GBK lists.
Bytes phraseClasses() {
    std::string dir = outDir + "/qxfc";
    ensureDirectory(dir);
    std::string container = joined(dir, "qxfc.vrz");
    plat::deleteFile(container.c_str());
    for (const char* name : {"qxfc1.txt", "qxfc2.txt", "qxfc3.txt"}) {
        std::string path = joined(dir, name);
        writeFile(path, content::phraseListFile(name, 300));
        if (appendEntry(container.c_str(), path.c_str()) != 1) fail("cannot pack " + path);
    }
    return readFile(container);
}

// A skin: an older-layout container of the layout record and seven bitmaps.
Bytes skinArchive(int number) {
    const content::SkinTheme& theme = content::skinTheme(number);
    std::string dir = outDir + "/skin" + std::to_string(number);
    ensureDirectory(dir);
    std::string container = joined(dir, "skin.vrz");
    plat::deleteFile(container.c_str());
    std::vector<std::pair<std::string, Bytes>> files = {
        {"vrbmp8.vrh", content::skinLayout(number, theme.gbkName)}};
    for (int i = 1; i <= 7; ++i)
        files.emplace_back("vrbmpsx" + std::to_string(i) + ".bmp",
                           content::skinBitmap(theme, i).bmp24());
    for (const auto& [name, bytes] : files) {
        std::string path = joined(dir, name);
        writeFile(path, bytes);
        if (appendOlderEntry(container.c_str(), path.c_str()) != 1) fail("cannot pack " + path);
    }
    return readFile(container);
}

struct PayloadFile {
    const char* name;
    std::function<Bytes()> make;
};

std::vector<PayloadFile> payloadFiles() {
    using namespace content;
    auto strip = [](const char* family, int size) {
        return [=] { return bitmap24(toolbarStrip(family, size)); };
    };
    auto text = [](const char* name) { return [=] { return textFile(name); }; };
    auto table = [](const char* name, const char* kind) {
        return [=] { return codeTable(name, kind); };
    };
    auto mod = [](const char* name) { return [=] { return module(name); }; };
    auto settings = [](int number) { return [=] { return settingsRecord(number); }; };
    auto wav = [](int number) { return [=] { return sound(number); }; };
    return {
        {"big5hz.ov1", big5GbkTable},
        {"bjzt020.bmp", strip("bjzt0", 20)},
        {"bjzt030.bmp", strip("bjzt0", 30)},
        {"bjzt040.bmp", strip("bjzt0", 40)},
        {"bjzt120.bmp", strip("bjzt1", 20)},
        {"bjzt130.bmp", strip("bjzt1", 30)},
        {"bjzt140.bmp", strip("bjzt1", 40)},
        {"blank.jpg",
         [] {
             return encodeJpeg(Canvas(16, 16, {255, 255, 255}), 90);
         }},
        {"bmjb20.bmp", strip("bmjb", 20)},
        {"bmjb30.bmp", strip("bmjb", 30)},
        {"bmjb40.bmp", strip("bmjb", 40)},
        {"bmjbx20.bmp", strip("bmjbx", 20)},
        {"bmjbx30.bmp", strip("bmjbx", 30)},
        {"bmjbx40.bmp", strip("bmjbx", 40)},
        {"cfontset.vrh", fontSettings},
        {"vral01.jpg", [] { return encodeJpeg(aboutPicture(0), 85); }},
        {"vral02.jpg", [] { return encodeJpeg(aboutPicture(1), 85); }},
        {"vrbj01.jpg", [] { return encodeJpeg(backgroundTexture(), 80); }},
        {"vrbmpfk5.bmp", [] { return bitmap8(frameTile()); }},
        {"vrbmps44.bmp", [] { return bitmap24(sharedToolbarButtons()); }},
        {"vrbyy0.bmp", [] { return bitmap24(shadowPanel(0)); }},
        {"vrbyy1.bmp", [] { return bitmap24(shadowPanel(1)); }},
        {"vrdwhz0.vrh", table("vrdwhz0.vrh", "phrases")},
        {"vorn1.wav", wav(1)},
        {"vorn2.wav", wav(2)},
        {"vorn20.bmp", [] { return bitmap24(productTile(20)); }},
        {"vorn3.wav", wav(3)},
        {"vorn30.bmp", [] { return bitmap24(productTile(30)); }},
        {"vorn320.ime", mod("vorn320.ime")},
        {"vorn321.ime", mod("vorn321.ime")},
        {"vorn4.wav", wav(4)},
        {"vorn40.bmp", [] { return bitmap24(productTile(40)); }},
        {"vorn5.wav", wav(5)},
        {"vorn6.wav", wav(6)},
        {"vorn640.ime", mod("vorn640.ime")},
        {"vorn641.ime", mod("vorn641.ime")},
        {"vorn7.wav", wav(7)},
        {"vorncyzk.vrh", wubiPhraseLibrary},
        {"vorndel8.exe", mod("vorndel8.exe")},
        {"vorndhz.vrh", table("vorndhz.vrh", "phrases")},
        {"vorndwdw.txt", text("vorndwdw.txt")},
        {"vorndzk0.vrh", table("vorndzk0.vrh", "phrases")},
        {"vorngbk.ovl", gbkUnicodeTable},
        {"vornel4.ime", mod("vornel4.ime")},
        {"vornel64.ime", mod("vornel64.ime")},
        {"vornel88.exe", mod("vornel88.exe")},
        {"vornjfk.ov1", traditionalTable},
        {"vornpyck.vrh", pinyinLibrary},
        {"vornpymb.ov1", table("vornpymb.ov1", "pinyin")},
        {"vornskfh.vrh", table("vornskfh.vrh", "symbols")},
        {"vornsrf.dll", mod("vornsrf.dll")},
        {"vornsrf6.dll", mod("vornsrf6.dll")},
        {"vornszsj.vrh", settings(0)},
        {"vornynhz.txt", text("vornynhz.txt")},
        {"vornzdfh.vrh", table("vornzdfh.vrh", "symbols")},
        {"vornzdym.vrh", table("vornzdym.vrh", "phrases")},
        {"vornqvtk.exe", mod("vornqvtk.exe")},
        {"vrfcz.txt", text("vrfcz.txt")},
        {"vrgbkbh.vrh", table("vrgbkbh.vrh", "strokes")},
        {"vrgbkhz.vrh", gbkHanziList},
        {"vrhzbs.vrh", table("vrhzbs.vrh", "strokes")},
        {"vrkeyyx1.wav", wav(0)},
        {"vrpyjm1.txt", text("vrpyjm1.txt")},
        {"vrpykey0.txt", text("vrpykey0.txt")},
        {"vrpykey1.txt", text("vrpykey1.txt")},
        {"vrpykey2.txt", text("vrpykey2.txt")},
        {"vrpykey3.txt", text("vrpykey3.txt")},
        {"vrpykey4.txt", text("vrpykey4.txt")},
        {"vrpykey5.txt", text("vrpykey5.txt")},
        {"vrpyltwj.vrh", table("vrpyltwj.vrh", "pinyin")},
        {"vrpyzdfy.txt", text("vrpyzdfy.txt")},
        {"vrpyzdym.vrh", table("vrpyzdym.vrh", "pinyin")},
        {"vrspeeke.txt", text("vrspeeke.txt")},
        {"vrspk1.txt", text("vrspk1.txt")},
        {"vrspk2.txt", text("vrspk2.txt")},
        {"vrspk3.txt", text("vrspk3.txt")},
        {"vrspk4.txt", text("vrspk4.txt")},
        {"vrszsj01.vrh", settings(1)},
        {"vrszsj02.vrh", settings(2)},
        {"vrszsj03.vrh", settings(3)},
        {"vrszsj04.vrh", settings(4)},
        {"vrszsj42.vrh", settings(42)},
        {"vrszsj43.vrh", settings(43)},
        {"vrszsj44.vrh", settings(44)},
        {"vrver.txt", text("vrver.txt")},
        {"vrwbjm.txt", text("vrwbjm.txt")},
        {"vrwbpy.txt", text("vrwbpy.txt")},
        {"vrxz0.bmp", [] { return bitmap8(selectionMark(false)); }},
        {"vrxz1.bmp", [] { return bitmap8(selectionMark(true)); }},
        {"VRQVTK41.BMP", [] { return bitmap24(banner(0)); }},
        {"vrqvtk61.bmp", [] { return bitmap24(banner(1)); }},
        {"vkjcdir.exe", mod("vkjcdir.exe")},
        {"csrf732.dll", mod("csrf732.dll")},
        {"csrf764.dll", mod("csrf764.dll")},
        {"cwb.ov1", table("cwb.ov1", "wubi")},
        {"cwbzlcz1.vrh", table("cwbzlcz1.vrh", "wubi")},
        {"ftvrzdym.txt", text("ftvrzdym.txt")},
        {"ftpyzdym.txt", text("ftpyzdym.txt")},
        {"ggbhver.dat", characterListVersion},
        {"jfb5hzb.txt", text("jfb5hzb.txt")},
        {"jfhzb.txt", text("jfhzb.txt")},
        {"jptb020.bmp", strip("jptb0", 20)},
        {"jptb030.bmp", strip("jptb0", 30)},
        {"jptb040.bmp", strip("jptb0", 40)},
        {"jptb120.bmp", strip("jptb1", 20)},
        {"jptb130.bmp", strip("jptb1", 30)},
        {"jptb140.bmp", strip("jptb1", 40)},
        {"ldlb20.bmp", strip("ldlb", 20)},
        {"ldlb30.bmp", strip("ldlb", 30)},
        {"ldlb40.bmp", strip("ldlb", 40)},
        {"nbyy2.bmp", [] { return bitmap24(shadowPanel(2)); }},
        {"pygfhzb.txt", text("pygfhzb.txt")},
        {"pyqspmb.txt", text("pyqspmb.txt")},
        {"pysymmb.dtd", symbolTableDtd},
        {"qxfc.vrz", phraseClasses},
        {"setupw64.exe", mod("setupw64.exe")},
        {"skey0.bmp", [] { return bitmap24(softKeyboard()); }},
        {"softkey.txt", text("softkey.txt")},
        {"uwb.vrh", table("uwb.vrh", "wubi")},
        {"wb1.swf", wubiAnimation},
        {"wbgfhzb.txt", text("wbgfhzb.txt")},
        {"wuxin1.bmp", [] { return bitmap8(toolbarStrip("wuxin", 16)); }},
        {"wuxin20.bmp", [] { return bitmap8(toolbarStrip("wuxin", 20)); }},
        {"wuxin30.bmp", [] { return bitmap8(toolbarStrip("wuxin", 30)); }},
        {"wuxin40.bmp", [] { return bitmap8(toolbarStrip("wuxin", 40)); }},
        {"xghjwjt.txt", text("xghjwjt.txt")},
        {"xghjwjw.txt", text("xghjwjw.txt")},
        {"zhtb20.bmp", strip("zhtb", 20)},
        {"zhtb30.bmp", strip("zhtb", 30)},
        {"zhtb40.bmp", strip("zhtb", 40)},
        {"zjcztb20.bmp", strip("zjcztb", 20)},
        {"zjcztb30.bmp", strip("zjcztb", 30)},
        {"zjcztb40.bmp", strip("zjcztb", 40)},
        {"qvtk1.bmp", choicePageBackground},
        {"冷色瓷面.vrz", [] { return skinArchive(1); }},
        {"小天使.vrz", [] { return skinArchive(3); }},
        {"粉色瓷面.vrz", [] { return skinArchive(2); }},
    };
}

constexpr size_t payloadEntries = 137;

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--modules") == 0)
            modulesDir = argv[i + 1];
        else if (std::strcmp(argv[i], "--out") == 0)
            outDir = argv[i + 1];
        else
            fail(std::string("unknown option ") + argv[i]);
    }
    if (modulesDir.empty() || outDir.empty() || argc != 5) {
        std::fputs("usage: make_payload --modules DIR --out DIR\n", stderr);
        return 2;
    }

    std::vector<PayloadFile> files = payloadFiles();
    if (files.size() != payloadEntries) fail("the payload list does not hold 137 files");
    ensureDirectory(outDir);
    std::string filesDir = outDir + "/files";
    ensureDirectory(filesDir);
    for (const PayloadFile& file : files) writeFile(joined(filesDir, file.name), file.make());

    // Packed into a new file and put in place at the end, so that a failed run never leaves a
    // partial payload behind for the resource compiler.
    std::string partial = outDir + "/payload.vrz.part";
    std::string payload = outDir + "/payload.vrz";
    plat::deleteFile(partial.c_str());
    for (const PayloadFile& file : files) {
        std::string path = joined(filesDir, file.name);
        if (appendEntry(partial.c_str(), path.c_str()) != 1) fail("cannot pack " + path);
    }
    plat::deleteFile(payload.c_str());
    if (!plat::moveFile(partial.c_str(), payload.c_str()))
        fail("cannot put " + payload + " in place");
    Bytes packed = readFile(payload);
    std::printf("make_payload: %s: %zu entries, %zu bytes\n", payload.c_str(), files.size(),
                packed.size());
    return 0;
}
