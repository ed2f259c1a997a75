// The input method's dictionaries, code tables, settings records and text files, as stand-ins
// of plausible form: GBK text with CR LF lines, binary tables with a small header.
#pragma once
#include <string>

#include "content.h"

namespace content {

// "vorncyzk.vrh": the Wubi phrase library in its stored form (GBK phrases of two or more
// characters, each followed by "; ", then "VORN", the byte sum and the phrase count), the
// trailer computed by the setup's own compactPhraseLibrary.
Bytes wubiPhraseLibrary();
// "vornpyck.vrh": the Pinyin library, about 1.9 MB.
Bytes pinyinLibrary();
// "vrszsj01.vrh" and the other 200-byte settings records; 43 is the one the setup patches.
Bytes settingsRecord(int number);
// "cfontset.vrh": the fonts of the composition, candidate and status windows.
Bytes fontSettings();
// "vrbmp8.vrh" of a skin: 4,096 bytes of colours and element positions.
Bytes skinLayout(int skin, const std::string& gbkName);
// "ggbhver.dat": which edition of the standard character list the tables follow.
Bytes characterListVersion();

// Tables derived from the code pages themselves (through iconv): "vorngbk.ovl" (every GBK
// double-byte code and its Unicode value), "big5hz.ov1" (Big5 codes and their GBK codes),
// "vrgbkhz.vrh" (the hanzi of GBK in code order).
Bytes gbkUnicodeTable();
Bytes big5GbkTable();
Bytes gbkHanziList();

// "vornjfk.ov1": simplified characters and their traditional forms, GBK code pairs.
Bytes traditionalTable();

// Binary tables with a header: magic, version 9.0, record count and size, then the records
// (codes and GBK characters). `kind` chooses the record layout: "wubi", "pinyin", "strokes",
// "phrases", "symbols".
Bytes codeTable(const std::string& name, const std::string& kind);

// GBK text files by name ("vrpykey0.txt", "softkey.txt", "jfhzb.txt", ...).
Bytes textFile(const std::string& name);
// One GBK phrase a line, `count` of them, chosen by `seed`.
Bytes phraseListFile(const std::string& seed, size_t count);
// "pysymmb.dtd".
Bytes symbolTableDtd();
// "wb1.swf": the Wubi root-key animation, a small uncompressed Flash movie.
Bytes wubiAnimation();

}  // namespace content
