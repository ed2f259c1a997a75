// The payload's pictures: the setup's choice-page background and the input method's status
// window, toolbar, soft keyboard and skin bitmaps.
#pragma once
#include <string>

#include "canvas.h"
#include "content.h"

namespace content {

// "qvtk1.bmp": 401 x 310, 24 bits. The setup shows its top 190 rows behind the choice page's
// texts, and stretches rows 90 and 91 (x 73 to 200) into the band behind the Pinyin title.
Bytes choicePageBackground();

// The product's tile (blue, with a white key cap), as the program icon shows it.
Canvas productTile(int size);

// Status window and toolbar pieces, `size` pixels high; `family` is the file's stem
// ("bjzt0", "bjzt1", "bmjb", "bmjbx", "jptb0", "jptb1", "ldlb", "wuxin", "zhtb", "zjcztb").
Canvas toolbarStrip(const std::string& family, int size);

Canvas softKeyboard();                // "skey0.bmp"
Canvas banner(int variant);           // "VRQVTK41.BMP", "vrqvtk61.bmp"
Canvas selectionMark(bool selected);  // "vrxz0.bmp", "vrxz1.bmp"
Canvas frameTile();                   // "vrbmpfk5.bmp"
Canvas shadowPanel(int variant);      // "vrbyy0.bmp", "vrbyy1.bmp", "nbyy2.bmp"
Canvas aboutPicture(int variant);     // "vral01.jpg", "vral02.jpg"
Canvas backgroundTexture();           // "vrbj01.jpg"

// The skins: 1 cold porcelain, 2 pink porcelain, 3 little angel.
struct SkinTheme {
    int number;
    const char* gbkName;  // the skin's name, as its archive is called
    Rgb base;
    Rgb accent;
    Rgb text;
};
const SkinTheme& skinTheme(int number);
// "vrbmpsx1.bmp" to "vrbmpsx7.bmp" of a skin.
Canvas skinBitmap(const SkinTheme& theme, int index);
// "vrbmps44.bmp": the toolbar buttons every skin gets in place of its own "vrbmpsx4.bmp".
Canvas sharedToolbarButtons();

}  // namespace content
