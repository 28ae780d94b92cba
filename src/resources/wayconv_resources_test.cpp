// The resource tables as the program finds them through its instance.
#include "resources/wayconv_resources.h"

#include "host/text.h"
#include "platform/windows.h"
#include "test_util.h"

namespace {

TEST(WayconvResources, StringsById) {
  struct {
    UINT id;
    const char* text;
  } cases[] = {{kStringTitle, "Wayconv"}, {kStringClassName, "WAYCONV"},  {kStringExit, "Exit"},
               {kStringTools, "Tools"},   {kStringOpenFile, "Open file"}, {3, ""}};
  for (const auto& c : cases) {
    char16_t buffer[100];
    int length = LoadStringW(WayconvInstance(), c.id, buffer, 100);
    EXPECT_EQ(Utf16ToUtf8(buffer), c.text);
    EXPECT_EQ(length, static_cast<int>(std::string(c.text).size()));
  }
  char16_t small[4];
  EXPECT_EQ(LoadStringW(WayconvInstance(), kStringOpenFile, small, 4), 3);
  EXPECT_EQ(Utf16ToUtf8(small), "Ope");
}

TEST(WayconvResources, EveryEntryCarriesTheLanguageTagAndIsFound) {
  const ResourceDirectory& directory = WayconvResources();
  ASSERT_EQ(directory.count, 11);
  for (int i = 0; i < directory.count; ++i) {
    const ResourceEntry& entry = directory.entries[i];
    EXPECT_EQ(entry.language, 0x0419);
    LPCWSTR type = entry.type_name != nullptr ? entry.type_name : MAKEINTRESOURCEW(entry.type);
    EXPECT_EQ(FindResourceW(WayconvInstance(), MAKEINTRESOURCEW(entry.id), type), &entry);
  }
  HRSRC flag = FindResourceW(WayconvInstance(), MAKEINTRESOURCEW(1), u"CEUX");
  ASSERT_NE(flag, nullptr);
  EXPECT_EQ(*static_cast<const DWORD*>(LoadResource(WayconvInstance(), flag)), 1u);
  EXPECT_NE(LoadIconW(WayconvInstance(), MAKEINTRESOURCEW(kIconApp)), nullptr);
}

TEST(WayconvResources, MenuBarMenuAndAccelerators) {
  auto bar = static_cast<const MenuBarTemplate*>(LoadResource(
      WayconvInstance(), FindResourceW(WayconvInstance(), MAKEINTRESOURCEW(102), RT_RCDATA)));
  ASSERT_NE(bar, nullptr);
  ASSERT_EQ(bar->count, 2);
  EXPECT_EQ(bar->buttons[0].command, 40003u);
  EXPECT_EQ(bar->buttons[0].string_id, 32772u);
  EXPECT_EQ(bar->buttons[0].popup, NOMENU);
  EXPECT_EQ(bar->buttons[1].command, 40001u);
  EXPECT_EQ(bar->buttons[1].string_id, 104u);
  EXPECT_EQ(bar->buttons[1].style, TBSTYLE_DROPDOWN | TBSTYLE_AUTOSIZE);
  EXPECT_EQ(bar->buttons[1].popup, 0);

  auto menu = static_cast<const MenuTemplate*>(LoadResource(
      WayconvInstance(),
      FindResourceW(WayconvInstance(), MAKEINTRESOURCEW(bar->menu_id), MAKEINTRESOURCEW(4))));
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->count, 1);
  const PopupTemplate& tools = menu->popups[0];
  const UINT ids[] = {32773, 0, 32776, 32777, 0, 40002, 0, 32774};
  ASSERT_EQ(tools.count, 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(tools.items[i].id, ids[i]) << i;
  EXPECT_EQ(tools.items[2].flags, MF_CHECKED);
  EXPECT_EQ(Utf16ToUtf8(tools.items[2].text), "Break track at 1000 m space");
  EXPECT_EQ(tools.items[3].flags, 0u);
  EXPECT_EQ(Utf16ToUtf8(tools.items[3].text), "Keep shape when thinning");

  HACCEL keys = LoadAcceleratorsW(WayconvInstance(), MAKEINTRESOURCEW(2));
  ASSERT_NE(keys, nullptr);
  ASSERT_EQ(keys->count, 2);
  EXPECT_EQ(keys->entries[0].key, 'A');
  EXPECT_EQ(keys->entries[0].cmd, 40002);
  EXPECT_EQ(keys->entries[1].key, 'Q');
  EXPECT_EQ(keys->entries[1].cmd, 40000);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(keys->entries[i].fVirt, FVIRTKEY | FCONTROL);
}

TEST(WayconvResources, AboutTextsFitTheirBoxes) {
  auto about = static_cast<const DialogTemplate*>(LoadResource(
      WayconvInstance(), FindResourceW(WayconvInstance(), MAKEINTRESOURCEW(105), RT_DIALOG)));
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(Utf16ToUtf8(about->caption), "About Wayconv");
  EXPECT_EQ(about->cx, 156);
  EXPECT_EQ(about->cy, 129);
  ASSERT_EQ(about->count, 4);
  EXPECT_EQ(Utf16ToUtf8(about->items[0].text), "Wayconv V" WAYCONV_VERSION);
  for (int i = 0; i < about->count; ++i) {
    const DialogItemTemplate& item = about->items[i];
    EXPECT_EQ(item.id, 202u + i);
    // A cell is 4 dialog units wide.
    EXPECT_LE(static_cast<int>(std::u16string(item.text).size()) * 4, item.cx) << i;
  }
}

}  // namespace
