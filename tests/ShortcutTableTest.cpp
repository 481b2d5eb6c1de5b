// The key list names the keys people have; the rarer ones still work.
#include <gtest/gtest.h>

#include "app/ShortcutTable.h"

TEST(ShortcutTable, ListsTheKeysOfCommonKeyboardsOnly)
{
    const struct {
        QStringList keys;
        const char* listed;
    } cases[] = {
        {{"Ctrl+Z", "F14"}, "Ctrl+Z"},
        {{"Ctrl+Shift+Z", "Ctrl+Y", "Shift+F14"}, "Ctrl+Shift+Z, Ctrl+Y"},
        {{"F1", "?", "F12", "F13", "F35"}, "F1, ?, F12"},
        {{"Esc"}, "Esc"},
    };
    for (const auto& c : cases) {
        QList<QKeySequence> keys;
        for (const QString& text : c.keys)
            keys << QKeySequence(text, QKeySequence::PortableText);
        EXPECT_EQ(ShortcutTable::listedKeyText(keys), QString::fromLatin1(c.listed)) << c.listed;
    }
    // Every documented key of the table is listed; none above F12.
    for (const ShortcutTable::Entry& entry : ShortcutTable::entries()) {
        const QString text = ShortcutTable::keyText(entry.command);
        EXPECT_FALSE(text.isEmpty()) << entry.description.toStdString();
        EXPECT_FALSE(text.contains(QLatin1String("F14"))) << text.toStdString();
    }
    EXPECT_TRUE(ShortcutTable::keyText(ShortcutTable::Undo).startsWith(QLatin1String("Ctrl+Z")));
}
