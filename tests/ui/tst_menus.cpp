// The shortcut texts of the menu tables, as both faces' menus take them apart.
#include "ui/Menus.h"

#include <gtest/gtest.h>

using namespace quillet::ui;

TEST(MenuKeys, ModifiersLettersAndFunctionKeysParseAndTyposAreRefused) {
    const auto ctrlN = ParseKey("Ctrl+n");
    ASSERT_TRUE(ctrlN);
    EXPECT_TRUE(ctrlN->ctrl && !ctrlN->shift && !ctrlN->alt);
    EXPECT_EQ(ctrlN->key, 'N');
    const auto f12 = ParseKey("Ctrl+Shift+F12");
    ASSERT_TRUE(f12);
    EXPECT_TRUE(f12->ctrl && f12->shift);
    EXPECT_EQ(f12->function, 12);
    EXPECT_EQ(f12->key, 0);
    EXPECT_EQ(ParseKey("Alt+7")->key, '7');
    EXPECT_EQ(ParseKey("F1")->function, 1);
    for (const char* typo : {"", "Ctrl+", "Ctrl+NN", "F0", "F25", "F1x", "Cmd+N", "Ctrl+#"})
        EXPECT_FALSE(ParseKey(typo)) << typo;
}
