// An item of a web page with a text and its font, shared by the page
// generator's tests and the Web Pager's.  Header only.
#pragma once

#include "media/WebPages.h"

namespace morvane::test {

inline WebPagerItem RedBoldItem()
{
    WebPagerItem item;
    item.texturePath = "C:\\tex\\frame.zyv";
    item.text = "Hello";
    item.width = 120;
    item.height = 80;
    item.borderType = 4;
    item.borderSize = 3;
    item.font.weight = 700;
    item.font.height = -16;
    item.font.faceName = "Arial";
    item.colour[0] = 1.0f;
    return item;
}

}  // namespace morvane::test
